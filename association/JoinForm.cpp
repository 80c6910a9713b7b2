#include "association/JoinForm.h"

namespace qiva {

JoinForm::JoinForm(Main& m, Services& s, MediaPlayer& ownerPlayer, QWidget* parent) : QDialog(parent), m_(m), s_(s), ownerPlayer_(ownerPlayer) {
    setWindowTitle(QStringLiteral("歌词关联"));
}

}  // namespace qiva
