#pragma once
// One person's afternoon with the program, on a real X display with the real file dialogs, message boxes,
// input box and audio engine (null output, real time), in a fresh lyrics folder: the first start and the
// demo, a whole authoring run, playing the result, two associations with a duplicate answered No and Yes,
// and an edit saved under the old name, and last a FLAC song linked to lyrics and played. The slots run in
// order and each builds on the one before.

#include <QList>
#include <QObject>
#include <QRect>
#include <QTemporaryDir>
#include <memory>

#include "Driver.h"
#include "Expected.h"
#include "app/Navigator.h"
#include "platform/RealServices.h"
#include "store/Main.h"

// Lists of seen windows compare as one line each, so that a failure shows what was seen.
#define COMPARE_SEEN(actual, expected) \
    QCOMPARE((actual).join(QStringLiteral(" | ")), QStringList(expected).join(QStringLiteral(" | ")))

namespace e2e {

class Journey : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void firstStartListsTheDemo();
    void demoRowPlaysWithItsLyrics();
    void stepOneChoosesAndTestsTheSong();
    void stepTwoCollectsTheMarkedText();
    void stepThreeRecordsEveryLine();
    void stepThreeCorrectsAndFinishes();
    void newRowPlaysWithItsLyrics();
    void associationAnsweredNo();
    void associationAnsweredYes();
    void editImportsAndSavesUnderTheOldName();
    void desktopLyricsOverOtherWindows();
    void mprisDrivenByPlayerctl();
    void desktopPartsFollowThePlayerWindow();
    void flacSongAssociatedAndPlayed();
    void droppedFolderAddsSongsWithLyrics();
    void droppedSongPlaysWithItsLrc();
    void newSongTimedFromTheKeyboardSavedAsLrc();
    void editReopensTheLrcAndSavesItAgain();
    void cleanup();
    void cleanupTestCase();

private:
    QString inFolder(const QString& name) const;
    // Presses "单击这里记录" once the song reaches `seconds` and keeps the end time stored for `line`;
    // false when the song never got there or the time stored is not the one heard then.
    bool recordAt(double seconds, int line);
    // Opens the association window over the player, browses for this run's song and the demo's lyrics and
    // presses "关联"; the duplicate questions get `answers`. Returns every line the script saw.
    QStringList associate(const QList<int>& answers, const QString& shotName);
    // The rows step three must show for the new lyrics.
    QStringList springRows() const;
    QStringList rows(class QListWidget* list) const;
    Header springHeader() const;
    Lines springLines() const;

    QTemporaryDir tmp_;
    QString folder_;  // the lyrics folder
    QString song_;    // the song made for this run
    std::unique_ptr<qiva::Main> m_;
    qiva::RealPlayerFactory players_;
    qiva::QtFileDialogFactory dialogs_;
    qiva::QtPrompter prompter_;
    std::unique_ptr<qiva::Navigator> nav_;
    std::unique_ptr<ModalScript> script_;
    QList<int> times_;  // the end times of the new lyrics, as they should be
    QList<QString> texts_;
    QRect rememberedPlace_;   // where the desktop lyrics were left
    QStringList chimeTexts_;  // the lines of the song timed from the keyboard, and their end times
    QList<int> chimeTimes_;
};

}  // namespace e2e
