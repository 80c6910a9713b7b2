#pragma once
#include <QWidget>

#include "platform/Services.h"
#include "store/Main.h"

namespace qiva {

class MainPlay : public QWidget {
    Q_OBJECT
public:
    MainPlay(Main& m, Services& s, QWidget* parent = nullptr);

private:
    Main& m_;
    Services& s_;
};

}  // namespace qiva
