#include "Dax/proto/BuiltinTexts.h"

namespace Mrim {

namespace {

// By number, UTF-8.
const char* const Texts[TextCount] = {
    "@ Home",  // 0
    "@ Work",  // 1
    "Away",  // 2
    "Connection",  // 3
    "Depression",  // 4
    "Do not disturb",  // 5
    "Evil",  // 6
    "Free for chat",  // 7
    "Invisible",  // 8
    "Lunch",  // 9
    "Not available",  // 10
    "Occupied",  // 11
    "Offline",  // 12
    "Online",  // 13
    "Add to visible list",  // 14
    "Remove from vis. list",  // 15
    "Add to invis. list",  // 16
    "Remove from invis. list",  // 17
    "Add to ignore list",  // 18
    "Remove from ignore list",  // 19
    "Request authorization",  // 20
    "Authorization request",  // 21
    "Enter request reason",  // 22
    "Please authorize my request.",  // 23
    "Accepted your authorization",  // 24
    "Declined your authorization",  // 25
    "Authorization request: ",  // 26
    "Authorization",  // 27
    "Accept",  // 28
    "Decline",  // 29
    "Ignore",  // 30
    "Authorization denied",  // 31
    "Add contact",  // 32
    "Add to contact list",  // 33
    "Add contact",  // 34
    "Account name",  // 35
    "Contact name",  // 36
    "Select group",  // 37
    "Contact trying to wake you",  // 38
    "Wakeup",  // 39
    "Acc.: ",  // 40
    "E-mail received\r\nFrom: ",  // 41
    "Subject: ",  // 42
    "In your mailbox ",  // 43
    " unread messages",  // 44
    "Account",  // 45
    "Domain",  // 46
    "Password",  // 47
    "Show password",  // 48
    "Advanced",  // 49
    "Display email notifications",  // 50
    "Hide email button",  // 51
    "General",  // 52
    "Home",  // 53
    "Personal",  // 54
    "User details can be edited only in browser.\nFor opening it, push button below:",  // 55
    "Open...",  // 56
    "Account name",  // 57
    "Nickname",  // 58
    "First name",  // 59
    "Last name",  // 60
    "Gender",  // 61
    "Country",  // 62
    "Region",  // 63
    "Gender",  // 64
    "Birthday",  // 65
    "Zodiak sign",  // 66
    "By Email",  // 67
    "Global",  // 68
    "Search by Email",  // 69
    "Age:",  // 70
    "Online only",  // 71
    "Armenia",  // 72
    "Australia",  // 73
    "Austria",  // 74
    "Azerbaijan",  // 75
    "Belarus",  // 76
    "Belgium",  // 77
    "Bulgaria",  // 78
    "Canada",  // 79
    "China",  // 80
    "Croatia",  // 81
    "Cyprus",  // 82
    "Czech Republic",  // 83
    "Denmark",  // 84
    "Estonia",  // 85
    "Finland",  // 86
    "France",  // 87
    "Georgia",  // 88
    "Germany",  // 89
    "Great Britain",  // 90
    "Greece",  // 91
    "Hungary",  // 92
    "Iceland",  // 93
    "India",  // 94
    "Ireland",  // 95
    "Israel",  // 96
    "Italy",  // 97
    "Japan",  // 98
    "Kazakhstan",  // 99
    "Korea,-republic",  // 100
    "Kyrgyzia (Kyrgyzstan)",  // 101
    "Latvia",  // 102
    "Lithuania",  // 103
    "Moldavia",  // 104
    "New Zealand",  // 105
    "North Korea (DPRK)",  // 106
    "Norway",  // 107
    "Poland",  // 108
    "Portugal",  // 109
    "Republic of South Africa (RSA)",  // 110
    "Romania",  // 111
    "Russia",  // 112
    "Serbia and Montenegro",  // 113
    "Slovakia",  // 114
    "Slovenia",  // 115
    "Spain",  // 116
    "Sweden",  // 117
    "Switzerland",  // 118
    "Tajikistan",  // 119
    "The Netherlands",  // 120
    "Turkey",  // 121
    "Turkmenistan",  // 122
    "Ukraine",  // 123
    "USA",  // 124
    "Uzbekistan",  // 125
    "Adygea",  // 126
    "Aginsk Buryatsk Autonomous District",  // 127
    "Altai (Republic)",  // 128
    "Altaisky Krai",  // 129
    "Amur Region",  // 130
    "Archangelsk Region",  // 131
    "Astrakhan Region",  // 132
    "Bashkortostan",  // 133
    "Belgorod Region",  // 134
    "Bryansk Region",  // 135
    "Buryatia",  // 136
    "Chechnya",  // 137
    "Chelyabinsk Region",  // 138
    "Chita Region",  // 139
    "Chukotsk Autonomous District",  // 140
    "Chuvashia",  // 141
    "Dagestan",  // 142
    "Evenk Autonomous District",  // 143
    "Ingushetia",  // 144
    "Irkutsk Region",  // 145
    "Ivanovo Region",  // 146
    "Jewish Autonomous District",  // 147
    "Kabardino Balkaria",  // 148
    "Kaliningrad Region",  // 149
    "Kalmykia",  // 150
    "Kaluga Region",  // 151
    "Kamchatka Region",  // 152
    "Karachaevo-Cherkessia",  // 153
    "Karelia",  // 154
    "Kemerovo Region",  // 155
    "Khabarovsk Krai",  // 156
    "Khakasia",  // 157
    "Khanty-Mansiisk Autonomous District",  // 158
    "Kirov Region",  // 159
    "Komi Permyatsky Autonomous District",  // 160
    "Komi",  // 161
    "Koryak Autonomous District",  // 162
    "Kostroma Region",  // 163
    "Krasnodarsky Krai",  // 164
    "Krasnoyarsk Krai",  // 165
    "Kurgan Region",  // 166
    "Kursk Region",  // 167
    "Leningrad Region",  // 168
    "Lipetsk Region",  // 169
    "Magadan Region",  // 170
    "Mari El",  // 171
    "Mordovia",  // 172
    "Moscow Region",  // 173
    "Moscow",  // 174
    "Murmansk Region",  // 175
    "Nenetsk Autonomous District",  // 176
    "Nizhegorodskaya Region",  // 177
    "North Osetia - Alania",  // 178
    "Novgorod Region",  // 179
    "Novosibirsk Region",  // 180
    "Omsk Region",  // 181
    "Orenburg",  // 182
    "Orlov Region",  // 183
    "Penza Region",  // 184
    "Perm Region",  // 185
    "Primorsky Krai",  // 186
    "Pskov Region",  // 187
    "Rostov Region",  // 188
    "Ryazan Region",  // 189
    "Sakha (Yakutia)",  // 190
    "Sakhalin Region",  // 191
    "Samara Region",  // 192
    "Saratov Region",  // 193
    "Smolensk Region",  // 194
    "St. Petersburg",  // 195
    "Stavropolsky Krai",  // 196
    "Sverdlovsk Region",  // 197
    "Taimir Autnomous District",  // 198
    "Tambov Region",  // 199
    "Tatarstan",  // 200
    "Tomsk Region",  // 201
    "Trans-Baikal territory",  // 202
    "Tula Region",  // 203
    "Tver Region",  // 204
    "Tyumen Region",  // 205
    "Tyva",  // 206
    "Udmurtia",  // 207
    "Ulianovsk Region",  // 208
    "Ust-Ordinsk Buryatsk Autonomous District",  // 209
    "Vladimir Region",  // 210
    "Volgograd Region",  // 211
    "Vologda Region",  // 212
    "Voronezh Region",  // 213
    "Yamal-Nenetsk Autonomous District",  // 214
    "Yaroslavl Region",  // 215
    "Aries",  // 216
    "Taurus",  // 217
    "Gemini",  // 218
    "Cancer",  // 219
    "Leo",  // 220
    "Virgo",  // 221
    "Libra",  // 222
    "Scorpio",  // 223
    "Sagittarius",  // 224
    "Capricorn",  // 225
    "Aquarius",  // 226
    "Pisces",  // 227
    "Male",  // 228
    "Female",  // 229
    " unreaded msgs",  // 230
    "Open Inbox",  // 231
    "Account being used on another computer",  // 232
    "OK",  // 233
    "Cancel",  // 234
};

} // namespace

bool BuiltinTexts(int number, CZELString& out)
{
    if (number < 0 || number >= TextCount) return false;
    out = CZELString(Texts[number], -1, 65001);
    return true;
}

} // namespace Mrim
