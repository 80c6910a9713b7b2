#pragma once
#include <QObject>

class ChecksTest : public QObject {
    Q_OBJECT
private slots:
    void layoutCaptionsAndTabOrder();
    void openingPausesOnlyAPlayingSong_data();
    void openingPausesOnlyAPlayingSong();
    void eitherCheckOrderEnablesAssociateSecond_data();
    void eitherCheckOrderEnablesAssociateSecond();
    void dialogsAreSetUpAndKeepTheLyricsFolder();
    void cancelledBrowseEmptiesTheBoxWithOneMessage_data();
    void cancelledBrowseEmptiesTheBoxWithOneMessage();
    void unplayableSongFailsOnce_data();
    void unplayableSongFailsOnce();
    void unreadableLyricsFailOnce_data();
    void unreadableLyricsFailOnce();
    void countZeroAndExtraRecordsPass();
    void typedTextIsCheckedAtEveryKeystroke();
    void boxClearedByTheUserAcceptsNothingSilently();
    void choosingTheSamePathAgainChecksItAgain();
    void closingEndsTheWindowsSong();
};
