#pragma once
// What a window gets from the platform: players, file dialogs, message boxes and the navigation point.
// The program passes the real ones, tests the doubles.

#include "platform/FileDialog.h"
#include "platform/MediaPlayer.h"
#include "platform/Navigation.h"
#include "platform/Prompter.h"

namespace qiva {

struct Services {
    MediaPlayerFactory& players;
    FileDialogFactory& dialogs;
    Prompter& prompter;
    Navigation& nav;
};

}  // namespace qiva
