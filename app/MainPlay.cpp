#include "app/MainPlay.h"

namespace qiva {

MainPlay::MainPlay(Main& m, Services& s, QWidget* parent) : QWidget(parent), m_(m), s_(s) {
    setWindowTitle(QStringLiteral("播放窗体"));
}

}  // namespace qiva
