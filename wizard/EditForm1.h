#pragma once
#include <QWidget>

#include "platform/Services.h"
#include "store/Main.h"

namespace qiva {

class EditForm1 : public QWidget {
    Q_OBJECT
public:
    EditForm1(Main& m, Services& s, QWidget* parent = nullptr);

private:
    Main& m_;
    Services& s_;
};

}  // namespace qiva
