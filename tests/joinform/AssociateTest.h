#pragma once
#include <QObject>

class AssociateTest : public QObject {
    Q_OBJECT
private slots:
    void rewritesTheSongPathAndSavesTheRecord();
    void rewriteKeepsExactlyTheCountedLines_data();
    void rewriteKeepsExactlyTheCountedLines();
    void duplicateQuestions_data();
    void duplicateQuestions();
    void editModeKeepsTheEntryInMemoryOnly();
    void refusesUnlessBothBoxesHoldCheckedPaths_data();
    void refusesUnlessBothBoxesHoldCheckedPaths();
    void failedRewriteChangesNothingAndStaysOpen();
    void failedCommitKeepsTheTableAndAllowsARetry();
    void failedAppendKeepsTheRecord_data();
    void failedAppendKeepsTheRecord();
    void fullTableIsRefusedBeforeAnythingIsWritten();
    void lrcFilePassesAndIsLeftAsItIs();
};
