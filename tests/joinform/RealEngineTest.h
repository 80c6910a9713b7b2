#pragma once
#include <QObject>

class RealEngineTest : public QObject {
    Q_OBJECT
private slots:
    void songCheckPlaysAnMp3AndRejectsOtherFiles();
};
