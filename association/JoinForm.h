#pragma once
#include <QDialog>

#include "platform/Services.h"
#include "store/Main.h"

namespace qiva {

class JoinForm : public QDialog {
    Q_OBJECT
public:
    JoinForm(Main& m, Services& s, MediaPlayer& ownerPlayer, QWidget* parent = nullptr);

private:
    Main& m_;
    Services& s_;
    MediaPlayer& ownerPlayer_;
};

}  // namespace qiva
