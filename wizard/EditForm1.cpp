#include "wizard/EditForm1.h"

namespace qiva {

EditForm1::EditForm1(Main& m, Services& s, QWidget* parent) : QWidget(parent), m_(m), s_(s) {
    setWindowTitle(QStringLiteral("与歌曲关联窗体"));
}

}  // namespace qiva
