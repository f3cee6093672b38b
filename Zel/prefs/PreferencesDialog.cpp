#include "Zel/prefs/PreferencesDialog.h"

#include <atomic>

namespace {
std::atomic<int> lastPage{-1};
std::atomic<int> opened{0};
}  // namespace

void ShowPreferencesDialog(GlobalSettings&, IOptionObserver* const*, int, int page)
{
    lastPage = page;
    ++opened;
}

int LastPreferencesPage()
{
    return lastPage;
}

int PreferencesOpened()
{
    return opened;
}

void AddSearchResult(const void*) {}
