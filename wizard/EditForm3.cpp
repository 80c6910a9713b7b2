#include "wizard/EditForm3.h"

namespace qiva {

EditForm3::EditForm3(Main& m, Services& s, QWidget* parent) : QWidget(parent), m_(m), s_(s) {
    setWindowTitle(QStringLiteral("歌词编辑"));
}

}  // namespace qiva
