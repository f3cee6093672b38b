// The preferences' pages, in tab order; each made for one run of the dialog.
#pragma once

#include "Zel/prefs/PreferencesPage.h"

PreferencesPage* NewGeneralPage(PreferencesDialog& owner);
PreferencesPage* NewContactListPage(PreferencesDialog& owner);
PreferencesPage* NewEventsPage(PreferencesDialog& owner);
PreferencesPage* NewAlertsPage(PreferencesDialog& owner);
PreferencesPage* NewInterfacePage(PreferencesDialog& owner);
PreferencesPage* NewHistoryPage(PreferencesDialog& owner);
PreferencesPage* NewAntispamPage(PreferencesDialog& owner);
PreferencesPage* NewHardwarePage(PreferencesDialog& owner);
PreferencesPage* NewConnectionPage(PreferencesDialog& owner);
PreferencesPage* NewAccountsPage(PreferencesDialog& owner);
