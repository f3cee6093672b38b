// CSearchDialog: an account's search pages followed by the program's results page. The left soft
// key starts a search with the current search page (or the one used last) and stops a running one;
// rows arrive through AddSearchResult while the dialog is open and busy, and a row without a
// contact ends the search. User-interface thread only.
#pragma once

#include "Zel/shell/dialogs/SettingsDialog.h"

#include <vector>

struct SearchResultRow;
class SearchResultsPage;

// One row as the results list keeps it.
struct SearchResultEntry {
    int contactId;
    CZELArray<int> images;
    CZELString texts[6];  // account, nickname, first name, last name, e-mail, gender and age
};

class CSearchDialog : public CSettingsDialog {
public:
    explicit CSearchDialog(unsigned accountId);
    ~CSearchDialog() override;

    // Makes this the dialog that AddSearchResult reaches.
    void OnInitDialog() override;
    void BuildPages(SettingsPageList& list) override;
    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override;
    void OnSoftKey(TSoftKey key) override;

    // Search or Stop, as the left soft key.
    void StartOrStop();
    // A row of the running search; null or contact id 0 ends it. Dropped while not busy.
    void AddResult(const SearchResultRow* row);
    bool IsBusy() const { return busy != 0; }
    unsigned AccountId() const { return accountId; }
    std::vector<SearchResultEntry>& Results() { return results; }
    int ResultsPageId() const { return resultsPage; }

private:
    unsigned accountId;
    volatile long busy;
    int lastSearchPage;
    int resultsPage;
    SearchResultsPage* resultsWindow;
    std::vector<SearchResultEntry> results;
};

// The gender letter and age of a row: "M - 25", "25", "F", "".
CZELString SearchGenderAgeText(unsigned char gender, int age);
// Runs the dialog over owner; while it runs, AddSearchResult reaches it.
void ShowSearchDialog(HWND owner, unsigned accountId);
// The open search dialog, null when none.
CSearchDialog* CurrentSearchDialog();
