#include "Dax/DaxIdTables.h"

#include "Dax/DaxShared.h"

#include <algorithm>
#include <cstdio>

namespace DaxIds {

namespace {

// Ids as the directory sends them, each with the text number of its name, in id order.
const IdRow kCountries[] = {
    {24, 112},  // Russia
    {29, 106},  // North Korea (DPRK)
    {34, 116},  // Spain
    {35, 109},  // Portugal
    {37, 87},  // France
    {38, 77},  // Belgium
    {39, 123},  // Ukraine
    {40, 74},  // Austria
    {41, 78},  // Bulgaria
    {44, 92},  // Hungary
    {45, 90},  // Great Britain
    {46, 89},  // Germany
    {48, 91},  // Greece
    {49, 84},  // Denmark
    {50, 95},  // Ireland
    {51, 93},  // Iceland
    {52, 97},  // Italy
    {53, 102},  // Latvia
    {54, 103},  // Lithuania
    {59, 104},  // Moldavia
    {60, 120},  // The Netherlands
    {61, 107},  // Norway
    {62, 108},  // Poland
    {63, 111},  // Romania
    {65, 114},  // Slovakia
    {66, 115},  // Slovenia
    {68, 86},  // Finland
    {69, 81},  // Croatia
    {70, 83},  // Czech Republic
    {71, 118},  // Switzerland
    {72, 117},  // Sweden
    {73, 85},  // Estonia
    {74, 113},  // Serbia and Montenegro
    {75, 98},  // Japan
    {76, 80},  // China
    {77, 121},  // Turkey
    {81, 75},  // Azerbaijan
    {82, 72},  // Armenia
    {83, 88},  // Georgia
    {84, 99},  // Kazakhstan
    {86, 96},  // Israel
    {90, 122},  // Turkmenistan
    {91, 119},  // Tajikistan
    {92, 101},  // Kyrgyzia (Kyrgyzstan)
    {93, 125},  // Uzbekistan
    {95, 94},  // India
    {107, 82},  // Cyprus
    {108, 100},  // Korea,-republic
    {123, 73},  // Australia
    {130, 105},  // New Zealand
    {138, 79},  // Canada
    {139, 124},  // USA
    {225, 110},  // Republic of South Africa (RSA)
    {340, 76},  // Belarus
};

const IdRow kRegions[] = {
    {25, 174},  // Moscow
    {226, 195},  // St. Petersburg
    {227, 130},  // Amur Region
    {228, 147},  // Jewish Autonomous District
    {229, 152},  // Kamchatka Region
    {230, 162},  // Koryak Autonomous District
    {231, 170},  // Magadan Region
    {232, 186},  // Primorsky Krai
    {233, 190},  // Sakha (Yakutia)
    {234, 191},  // Sakhalin Region
    {235, 156},  // Khabarovsk Krai
    {236, 140},  // Chukotsk Autonomous District
    {237, 133},  // Bashkortostan
    {238, 159},  // Kirov Region
    {239, 160},  // Komi Permyatsky Autonomous District
    {240, 171},  // Mari El
    {241, 172},  // Mordovia
    {242, 177},  // Nizhegorodskaya Region
    {243, 182},  // Orenburg
    {244, 184},  // Penza Region
    {245, 185},  // Perm Region
    {246, 192},  // Samara Region
    {247, 193},  // Saratov Region
    {248, 200},  // Tatarstan
    {249, 207},  // Udmurtia
    {250, 208},  // Ulianovsk Region
    {251, 141},  // Chuvashia
    {252, 131},  // Archangelsk Region
    {253, 212},  // Vologda Region
    {254, 149},  // Kaliningrad Region
    {255, 154},  // Karelia
    {256, 161},  // Komi
    {257, 168},  // Leningrad Region
    {258, 175},  // Murmansk Region
    {259, 176},  // Nenetsk Autonomous District
    {260, 179},  // Novgorod Region
    {261, 187},  // Pskov Region
    {262, 127},  // Aginsk Buryatsk Autonomous District
    {263, 128},  // Altai (Republic)
    {264, 129},  // Altaisky Krai
    {265, 136},  // Buryatia
    {266, 145},  // Irkutsk Region
    {267, 155},  // Kemerovo Region
    {268, 165},  // Krasnoyarsk Krai
    {269, 180},  // Novosibirsk Region
    {270, 181},  // Omsk Region
    {271, 198},  // Taimir Autnomous District
    {272, 201},  // Tomsk Region
    {273, 206},  // Tyva
    {274, 209},  // Ust-Ordinsk Buryatsk Autonomous District
    {275, 157},  // Khakasia
    {276, 139},  // Chita Region
    {277, 143},  // Evenk Autonomous District
    {278, 166},  // Kurgan Region
    {279, 197},  // Sverdlovsk Region
    {280, 205},  // Tyumen Region
    {281, 158},  // Khanty-Mansiisk Autonomous District
    {282, 138},  // Chelyabinsk Region
    {283, 214},  // Yamal-Nenetsk Autonomous District
    {284, 134},  // Belgorod Region
    {285, 135},  // Bryansk Region
    {286, 210},  // Vladimir Region
    {287, 213},  // Voronezh Region
    {288, 146},  // Ivanovo Region
    {289, 151},  // Kaluga Region
    {290, 163},  // Kostroma Region
    {291, 167},  // Kursk Region
    {292, 169},  // Lipetsk Region
    {293, 173},  // Moscow Region
    {294, 183},  // Orlov Region
    {295, 189},  // Ryazan Region
    {296, 194},  // Smolensk Region
    {297, 199},  // Tambov Region
    {298, 204},  // Tver Region
    {299, 203},  // Tula Region
    {300, 215},  // Yaroslavl Region
    {301, 126},  // Adygea
    {302, 132},  // Astrakhan Region
    {303, 211},  // Volgograd Region
    {304, 142},  // Dagestan
    {305, 144},  // Ingushetia
    {306, 148},  // Kabardino Balkaria
    {307, 150},  // Kalmykia
    {308, 153},  // Karachaevo-Cherkessia
    {309, 164},  // Krasnodarsky Krai
    {310, 188},  // Rostov Region
    {311, 178},  // North Osetia - Alania
    {312, 196},  // Stavropolsky Krai
    {313, 137},  // Chechnya
    {3425, 202},  // Trans-Baikal territory
};

const IdRow kZodiac[] = {{1, 216}, {2, 217}, {3, 218}, {4, 219}, {5, 220}, {6, 221},
                         {7, 222}, {8, 223}, {9, 224}, {10, 225}, {11, 226}, {12, 227}};

const IdRow kGenders[] = {{1, 228}, {2, 229}};

template <size_t N>
IdTable Of(const IdRow (&rows)[N])
{
    return IdTable{rows, N};
}

}  // namespace

IdTable Countries() { return Of(kCountries); }
IdTable Regions() { return Of(kRegions); }
IdTable ZodiacSigns() { return Of(kZodiac); }
IdTable Genders() { return Of(kGenders); }

int TextNumberOf(const IdTable& table, int id)
{
    const IdRow* end = table.rows + table.count;
    const IdRow* row = std::lower_bound(table.rows, end, id, [](const IdRow& r, int v) { return r.id < v; });
    return row != end && row->id == id ? row->textNumber : -1;
}

CZELString BirthdayText(int day, int month, int year)
{
    wchar_t text[32] = L"";
    wchar_t part[12];
    if (day > 0 && day < 100) {
        swprintf(part, 12, L"%02d", day);
        wcscat(text, part);
    }
    wcscat(text, L"/");
    if (month > 0 && month < 100) {
        swprintf(part, 12, L"%02d", month);
        wcscat(text, part);
    }
    wcscat(text, L"/");
    if (year > 0 && year < 10000) {
        swprintf(part, 12, L"%04d", year);
        wcscat(text, part);
    }
    return CZELString(text);
}

void FillIdCombo(HWND combo, const IdTable& table)
{
    if (SendMessageW(combo, CB_GETCOUNT, 0, 0) > 0) return;
    LRESULT at = SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(L""));
    if (at >= 0) SendMessageW(combo, CB_SETITEMDATA, WPARAM(at), 0);
    for (size_t i = 0; i < table.count; ++i) {
        CZELString text = DaxShared::Text(table.rows[i].textNumber);
        at = SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(text.GetBuffer() ? text.GetBuffer() : L""));
        if (at >= 0) SendMessageW(combo, CB_SETITEMDATA, WPARAM(at), LPARAM(table.rows[i].id));
    }
}

int SelectedId(HWND combo)
{
    LRESULT selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR) return 0;
    LRESULT data = SendMessageW(combo, CB_GETITEMDATA, WPARAM(selected), 0);
    return data == CB_ERR ? 0 : int(data);
}

}  // namespace DaxIds
