// The shipped language modules, loaded from where their components look for them: every number of
// the component's English table has a text, the ends of the table are kept, the texts come back as
// the right Cyrillic letters, and each text keeps what the code fills in or lays out around it.
#include "Dax/proto/BuiltinTexts.h"
#include "Jabber/account/BuiltinTexts.h"
#include "Wex/proto/account/BuiltInTexts.h"
#include "Zel/shell/helpers/ResourcePaths.h"
#include "Zel/shell/lang/EnglishTexts.h"
#include "ZELCommon/MUIController.h"
#include "ZELCommon/ZELPath.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

typedef bool (*GetStringFunction)(int id, CZELString& out);

struct Module {
    const char* name;
    CZELString folder;          // where the component's controller looks, ending with "\"
    const wchar_t* prefix;      // the component's module prefix
    int count;                  // the component's English table
    MUI::TextFunction english;
    const wchar_t* lastText;    // the translation of the table's last text
};

std::vector<Module> Modules()
{
    return {
        {"program", CZELPath::AppDir() + GetLangsFolderName(), GetLangModulePrefix(), EnglishTextCount, &EnglishText,
         L"\u041a\u043e\u0434 \u0432\u0438\u0431\u0440\u0430\u0446\u0438\u0438:"},  // Код вибрации:
        {"Wex", CZELPath::GetProtoDir(L"Wex"), L"WEX_", WexTexts::Count, &WexTexts::BuiltInText,
         L"\u0414\u0430\u043d\u043d\u044b\u0435 \u043c\u043e\u0436\u043d\u043e \u0441\u043e\u0445\u0440\u0430\u043d\u0438\u0442\u044c"
         L" \u0442\u043e\u043b\u044c\u043a\u043e \u0432 \u0441\u0435\u0442\u0438"},  // Данные можно сохранить только в сети
        {"Jabber", CZELPath::GetProtoDir(L"Jabber"), L"Gox_", BuiltinTextCount, &GetBuiltinText,
         L"\u041e\u0442\u043c\u0435\u043d\u0430"},
        // The plug-in names its folder and prefix in other letter cases than the files have.
        {"Dax", CZELPath::GetProtoDir(L"DAX"), L"Dax_", Mrim::TextCount, &Mrim::BuiltinTexts,
         L"\u041e\u0442\u043c\u0435\u043d\u0430"},
    };
}

std::wstring Wide(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text) out += c < 0x80 ? char(c) : '?';
    return out;
}

// What a text must keep from its English original: printf fields, line breaks, blanks at its ends.
std::string Shape(const std::wstring& text)
{
    std::string shape;
    static const std::wregex fields(L"%[-+ #0-9.]*[a-zA-Z]");
    for (std::wsregex_iterator at(text.begin(), text.end(), fields), end; at != end; ++at) shape += Narrow(at->str());
    for (wchar_t c : text)
        if (c == L'\r' || c == L'\n') shape += c == L'\r' ? "\\r" : "\\n";
    size_t leading = text.find_first_not_of(L' ');
    size_t trailing = text.find_last_not_of(L' ');
    shape += " lead " + std::to_string(leading == std::wstring::npos ? text.size() : leading);
    shape += " trail " + std::to_string(trailing == std::wstring::npos ? 0 : text.size() - 1 - trailing);
    return shape;
}

bool HasCyrillic(const std::wstring& text)
{
    for (wchar_t c : text)
        if (c >= 0x0400 && c <= 0x04FF) return true;
    return false;
}

class LoadedModule {
public:
    explicit LoadedModule(const Module& module)
    {
        path = Wide(module.folder) + module.prefix + L"Russian.dll";
        library = LoadLibraryW(path.c_str());
        if (library)
            getString = reinterpret_cast<GetStringFunction>(
                reinterpret_cast<void*>(GetProcAddress(library, "?MUI_GetString@@YA_NHAAVCZELString@@@Z")));
    }
    ~LoadedModule()
    {
        if (library) FreeLibrary(library);
    }
    std::wstring path;
    HMODULE library = nullptr;
    GetStringFunction getString = nullptr;
};

}  // namespace

namespace {

// The names and ordinals of a loaded module's export directory.
std::vector<std::pair<std::string, DWORD>> Exports(HMODULE library)
{
    std::vector<std::pair<std::string, DWORD>> exports;
    const BYTE* base = reinterpret_cast<const BYTE*>(library);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (entry.VirtualAddress == 0 || entry.Size == 0) return exports;
    const IMAGE_EXPORT_DIRECTORY* directory = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const DWORD* names = reinterpret_cast<const DWORD*>(base + directory->AddressOfNames);
    const WORD* indices = reinterpret_cast<const WORD*>(base + directory->AddressOfNameOrdinals);
    const DWORD* functions = reinterpret_cast<const DWORD*>(base + directory->AddressOfFunctions);
    std::vector<bool> named(directory->NumberOfFunctions);
    for (DWORD i = 0; i < directory->NumberOfNames; ++i) {
        exports.emplace_back(reinterpret_cast<const char*>(base + names[i]), directory->Base + indices[i]);
        if (indices[i] < named.size()) named[indices[i]] = true;
    }
    // Functions exported by ordinal alone show with an empty name.
    for (DWORD i = 0; i < directory->NumberOfFunctions; ++i)
        if (functions[i] != 0 && !named[i]) exports.emplace_back("", directory->Base + i);
    return exports;
}

}  // namespace

TEST(LanguageModules, ExportTheirOneFunctionByItsDecoratedNameAndOrdinal)
{
    for (const Module& module : Modules()) {
        SCOPED_TRACE(module.name);
        LoadedModule loaded(module);
        ASSERT_NE(loaded.library, nullptr) << Narrow(loaded.path);
        ASSERT_NE(loaded.getString, nullptr);
        EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(loaded.library, MAKEINTRESOURCEA(1))),
                  reinterpret_cast<void*>(loaded.getString));
        // Nothing else: no g++ name of the function, nothing of the runtime or of ZELCommon.
        const std::vector<std::pair<std::string, DWORD>> only = {{"?MUI_GetString@@YA_NHAAVCZELString@@@Z", 1}};
        EXPECT_EQ(Exports(loaded.library), only);
    }
}

TEST(LanguageModules, AnswerEveryNumberOfTheTableAndNoOther)
{
    for (const Module& module : Modules()) {
        SCOPED_TRACE(module.name);
        LoadedModule loaded(module);
        ASSERT_NE(loaded.getString, nullptr);
        CZELString text;
        ASSERT_TRUE(loaded.getString(module.count - 1, text));
        EXPECT_EQ(Wide(text), module.lastText);
        for (int outside : {module.count, -1, 0x7fffffff, int(0x80000000u)}) {
            SCOPED_TRACE(outside);
            CZELString untouched(L"kept");
            EXPECT_FALSE(loaded.getString(outside, untouched));
            EXPECT_EQ(Wide(untouched), L"kept");
        }
    }
}

TEST(LanguageModules, CyrillicComesBackAsTheSameLetters)
{
    LoadedModule program(Modules()[0]);
    ASSERT_NE(program.getString, nullptr);
    CZELString text;
    ASSERT_TRUE(program.getString(0, text));
    EXPECT_EQ(Wide(text), L"\u041d\u0435 \u0432 \u0441\u0435\u0442\u0438");  // Не в сети
    // Letters from both ends of the code page's Cyrillic range, "ё" and the guillemets.
    ASSERT_TRUE(program.getString(82, text));
    EXPECT_NE(Wide(text).find(L"\u00ab\u0417\u0430\u043d\u044f\u0442\u00bb"), std::wstring::npos);  // «Занят»
    ASSERT_TRUE(program.getString(28, text));
    EXPECT_EQ(Wide(text), L"\u0423\u0447\u0451\u0442\u043d\u0430\u044f \u0437\u0430\u043f\u0438\u0441\u044c");  // Учётная запись
}

TEST(LanguageModules, EveryTextIsTranslatedKeepingWhatTheCodeFillsInAndLaysOut)
{
    for (const Module& module : Modules()) {
        SCOPED_TRACE(module.name);
        LoadedModule loaded(module);
        ASSERT_NE(loaded.getString, nullptr);
        std::map<std::wstring, std::set<std::wstring>> translations;
        for (int id = 0; id < module.count; ++id) {
            SCOPED_TRACE(id);
            CZELString english, russian;
            ASSERT_TRUE(module.english(id, english));
            ASSERT_TRUE(loaded.getString(id, russian));
            EXPECT_FALSE(russian.IsEmpty());
            EXPECT_EQ(Shape(Wide(russian)), Shape(Wide(english)));
            // "OK" is the button's word in Russian too.
            if (Wide(english) != L"OK") EXPECT_TRUE(HasCyrillic(Wide(russian))) << Narrow(Wide(russian));
            translations[Wide(english)].insert(Wide(russian));
        }
        // A text the English table repeats reads the same wherever it shows, but for words whose two
        // uses Russian tells apart.
        for (const auto& [english, russian] : translations) {
            bool twoMeanings = (module.name == std::string("program") && english == L"Email")  // mail notice, address field
                               || (module.name == std::string("Wex") && english == L"Connection");  // status, settings page
            EXPECT_EQ(russian.size(), twoMeanings ? 2u : 1u) << Narrow(english);
        }
    }
}

// The way each component loads its module: its controller, its folder and prefix, switched to
// "Russian" and back; a language with no module keeps the one in use.
TEST(LanguageModules, EachComponentsControllerFindsItsModule)
{
    for (const Module& module : Modules()) {
        SCOPED_TRACE(module.name);
        MUI::CZELWMMUI_Controller controller(module.folder, CZELString(module.prefix), CZELString(L"English"),
                                             module.english);
        CZELString english, text;
        module.english(module.count - 1, english);
        controller.ChangeLang(CZELString(L"Russian"));
        controller.GetString(module.count - 1, text);
        EXPECT_EQ(Wide(text), module.lastText);
        controller.ChangeLang(CZELString(L"Klingon"));
        controller.GetString(module.count - 1, text);
        EXPECT_EQ(Wide(text), module.lastText);
        controller.ChangeLang(CZELString(L"English"));
        controller.GetString(module.count - 1, text);
        EXPECT_EQ(Wide(text), Wide(english));
    }
}

// A module that lacks a text leaves that one in English and the rest translated; a language with no
// module at all keeps English.
TEST(LanguageModules, ATextTheModuleLacksShowsInEnglish)
{
    const Module program = Modules()[0];
    CZELString english, translated, text;
    program.english(program.count - 1, english);
    program.english(0, translated);
    MUI::CZELWMMUI_Controller controller(CZELPath::AppDir() + L"MuiTests\\", CZELString(L"ZEL_"),
                                         CZELString(L"English"), program.english);
    controller.ChangeLang(CZELString(L"Cut"));
    ASSERT_EQ(Wide(controller.GetCurLang()), L"Cut");
    controller.GetString(program.count - 1, text);
    EXPECT_EQ(Wide(text), Wide(english));
    controller.GetString(0, text);
    EXPECT_NE(Wide(text), Wide(translated));
    EXPECT_EQ(Wide(text), L"\u041d\u0435 \u0432 \u0441\u0435\u0442\u0438");  // Не в сети

    MUI::CZELWMMUI_Controller missing(CZELPath::AppDir() + L"MuiTests\\", CZELString(L"ZEL_"),
                                      CZELString(L"English"), program.english);
    missing.ChangeLang(CZELString(L"Russian"));
    EXPECT_EQ(Wide(missing.GetCurLang()), L"English");
    missing.GetString(0, text);
    EXPECT_EQ(Wide(text), Wide(translated));
}

// Every letter the modules use has a glyph in the fonts the windows draw with: the list's and the
// chat's default face, the menus' face and the dialogs' face.
TEST(LanguageModules, TheWindowsFontsDrawEveryLetterTheModulesUse)
{
    std::set<wchar_t> letters;
    for (const Module& module : Modules()) {
        LoadedModule loaded(module);
        ASSERT_NE(loaded.getString, nullptr) << module.name;
        for (int id = 0; id < module.count; ++id) {
            CZELString text;
            loaded.getString(id, text);
            for (wchar_t c : Wide(text))
                if (c >= 0x80) letters.insert(c);
        }
    }
    std::wstring all(letters.begin(), letters.end());
    ASSERT_FALSE(all.empty());

    // The faces the program's own windows and dialogs name, and the system's fonts the common controls
    // and menus fall back on: the stock dialog font, the toolbar's icon-title font and the message,
    // menu and status fonts.
    std::vector<std::pair<std::string, LOGFONTW>> fonts;
    for (const wchar_t* face : {L"Tahoma", L"MS Sans Serif", L"MS Shell Dlg"}) {
        LOGFONTW logFont = {};
        logFont.lfHeight = -13;
        logFont.lfCharSet = DEFAULT_CHARSET;
        wcscpy(logFont.lfFaceName, face);
        fonts.emplace_back(Narrow(face), logFont);
    }
    LOGFONTW stock = {};
    ASSERT_NE(GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof stock, &stock), 0);
    fonts.emplace_back("the stock dialog font", stock);
    LOGFONTW iconTitle = {};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof iconTitle, &iconTitle, 0));
    fonts.emplace_back("the icon title font", iconTitle);
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    fonts.emplace_back("the message font", metrics.lfMessageFont);
    fonts.emplace_back("the menu font", metrics.lfMenuFont);
    fonts.emplace_back("the status font", metrics.lfStatusFont);

    HDC dc = CreateCompatibleDC(nullptr);
    for (const auto& named : fonts) {
        HFONT font = CreateFontIndirectW(&named.second);
        HGDIOBJ old = SelectObject(dc, font);
        std::vector<WORD> glyphs(all.size());
        ASSERT_NE(GetGlyphIndicesW(dc, all.c_str(), int(all.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS),
                  GDI_ERROR);
        std::string missing;
        for (size_t i = 0; i < all.size(); ++i)
            if (glyphs[i] == 0xFFFF) missing += "U+" + std::to_string(unsigned(all[i])) + " ";
        EXPECT_EQ(missing, "") << named.first << " (" << Narrow(named.second.lfFaceName) << ")";
        SelectObject(dc, old);
        DeleteObject(font);
    }
    DeleteDC(dc);
}
