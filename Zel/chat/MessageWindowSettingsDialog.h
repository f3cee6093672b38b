// MessageWindowSettingsDialog: the five pages on which the user edits the chat window's settings
// record. The pages write straight into the live record on OK (a font at once when its font dialog
// ends with OK) and tell the observer which page changed something the chat window must act on.
#pragma once

#include "Zel/shell/dialogs/SettingsDialog.h"

#include <windows.h>

class MessageWindowSettings;

enum MessageWindowSettingsPageIndex {
    MWFormattingPageIndex = 0,
    MWEditorPageIndex,
    MWSmiliesPageIndex,
    MWRepliesPageIndex,
    MWControlsPageIndex,
    MWPageCount
};

class MessageWindowSettingsObserver {
public:
    virtual void OnSettingsPageChanged(int page) = 0;

protected:
    ~MessageWindowSettingsObserver() {}
};

class MessageWindowSettingsDialog : public CSettingsDialog {
public:
    MessageWindowSettingsDialog(MessageWindowSettings& settings, MessageWindowSettingsObserver* observer, int startPage);

    void BuildPages(SettingsPageList& list) override;

private:
    MessageWindowSettings& settings;
    MessageWindowSettingsObserver* observer;
    int startPage;
};

// Runs the dialog modally over parent on the record, opening on page (0 to 4).
void ShowMessageWindowSettingsDialog(HWND parent, MessageWindowSettings& settings,
                                     MessageWindowSettingsObserver* observer, int page);

// Tests stand in for the modal run: while a runner is set, ShowMessageWindowSettingsDialog hands it
// the built dialog and the parent instead of running it. Null restores the modal run.
typedef int (*MessageWindowSettingsRunner)(void* context, MessageWindowSettingsDialog& dialog, HWND parent);
void SetMessageWindowSettingsRunner(MessageWindowSettingsRunner runner, void* context);
