#pragma once
#include <QString>

namespace qiva {

// On first start, fills the lyrics folder with the marker picture, the demo song, its timed lyrics, the
// step-two example text and an association record naming the demo. Never overwrites an existing file.
void InstallFirstRunDemo(const QString& lyricsFolder);

}  // namespace qiva
