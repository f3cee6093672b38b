#include "Dax/proto/Smileys.h"

namespace Mrim {

namespace {

struct IdSmiley {
    unsigned id;
    const wchar_t* text;
};

const IdSmiley SmileIds[] = {
    {400, L"O:-)"},        {401, L":-!"},         {402, L":-D"},     {403, L":-P"},         {404, L":-["},
    {405, L":'("},         {406, L"*CRAZY*"},     {407, L"*DANCE*"}, {408, L"]:->"},        {409, L"8-)"},
    {410, L"*DRINK*"},     {411, L":-|"},         {412, L"@}->--"},  {413, L"*THUMBS UP*"}, {414, L":-*"},
    {415, L"*KISSED*"},    {416, L"*JOKINGLY*"},  {417, L"[:-}"},    {418, L"*NO*"},        {419, L"*PARDON*"},
    {420, L"*ROFL*"},      {422, L":-("},         {423, L"*SCRATCH*"}, {424, L"=-O"},       {426, L":-)"},
    {427, L"*DONT_KNOW*"}, {428, L"%)"},          {429, L";-)"},     {430, L"*YAHOO*"},
};

struct CodeRange {
    unsigned first, last;
    const wchar_t* text;
};

const CodeRange ImgCodes[] = {
    {0, 0, L"*THUMBS UP*"}, {2, 2, L"*OK*"},   {4, 4, L"\\m/"},  {10, 10, L":)"},  {11, 11, L";-)"},
    {12, 12, L":-)"},       {13, 13, L":-p"},  {19, 19, L":-("}, {20, 22, L":'("}, {26, 26, L"=-O"},
    {28, 30, L">:o"},       {31, 33, L"]:->"}, {36, 36, L"8-)"}, {37, 37, L":-["}, {39, 39, L"*IN LOVE*"},
    {40, 40, L":-*"},
};

// In the order they are tried.
const wchar_t* const CartoonTitles[] = {
    L"\u041F\u043E\u0446\u0435\u043B\u0443\u0439",  // Поцелуй
    L"\u041F\u0438\u0432\u043A\u0430?;)",  // Пивка?;)
    L"\u0417\u0430\u0434\u043E\u043B\u0431\u0430\u043B!",  // Задолбал!
    L"\u0425\u043E\u0447\u0443 \u043A \u0442\u0435\u0431\u0435!",  // Хочу к тебе!
    L"\u0425\u043D\u044B...!",  // Хны...!
    L"\u041E\u0442\u0445\u043E\u0434\u043D\u044F\u043A...",  // Отходняк...
    L"\u0421\u0435\u0440\u0434\u0446\u0435",  // Сердце
    L"\u0416\u0436\u0451\u0448\u044C!",  // Жжёшь!
    L"\u0410 \u044F \u0441\u043E\u0448\u043B\u0430 \u0441 \u0443\u043C\u0430...",  // А я сошла с ума...
    L"\u041C\u0438\u043B\u043B\u0438\u043E\u043D \u0430\u043B\u044B\u0445 \u0440\u043E\u0437!",  // Миллион алых роз!
    L"\u041F\u0440\u0438\u0441\u0442\u0440\u0435\u043B\u044E!",  // Пристрелю!
    L"\u042F \u0437\u0430\u043D\u044F\u0442",  // Я занят
    L"\u041A\u0440\u0443\u0442\u043E!",  // Круто!
    L"\u041F\u043E\u043A\u0430-\u043F\u043E\u043A\u0430",  // Пока-пока
    L"\u0421\u043F\u0430\u0441\u0438\u0431\u043E!",  // Спасибо!
    L"\u041D\u0435 \u0434\u0443\u0442\u044C\u0441\u044F!",  // Не дуться!
    L"\u041E\u0431\u0438\u0434\u0435\u043B\u0438",  // Обидели
    L"\u0423\u0445 \u0442\u044B!",  // Ух ты!
};

const wchar_t CartoonPrefix[] = L"\u0421\u043E\u0431\u0435\u0441\u0435\u0434\u043D\u0438\u043A \u043F\u0440\u0438\u0441\u043B\u0430\u043B \u043C\u0443\u043B\u044C\u0442: ";  // Собеседник прислал мульт: 

// The decimal number that fills text[from, to) from its start, or false when there is none.
bool DecimalAt(const CZELString& text, int from, int to, unsigned& value)
{
    int i = from;
    while (i < to && i < text.GetLength() && text.GetBuffer()[i] >= L'0' && text.GetBuffer()[i] <= L'9') ++i;
    if (i == from) return false;
    value = CZELString::Toi(text.GetBuffer() + from, i - from, false);
    return true;
}

} // namespace

CZELString ConvertSmileyTags(const CZELString& content)
{
    int id = content.Find(0, CZELString(L"id="));
    unsigned number = 0;
    if (id >= 0 && DecimalAt(content, id + 3, content.GetLength(), number)) {
        for (const IdSmiley& row : SmileIds)
            if (row.id == number) return CZELString(row.text);
    }
    int alt = content.Find(0, CZELString(L"alt='"));
    if (alt >= 0) {
        int end = content.Find(alt + 5, CZELString(L"'"));
        if (end >= 0) return content.Substring(alt + 5, end - alt - 5);
    }
    return CZELString();
}

CZELString ImgCodeToSmiley(unsigned code)
{
    for (const CodeRange& row : ImgCodes)
        if (code >= row.first && code <= row.last) return CZELString(row.text);
    return CZELString();
}

CZELString ReplaceSmileyTags(const CZELString& text)
{
    const CZELString smileOpen(L"<smile>"), smileClose(L"</smile>"), imgOpen(L"<###20###img"), close(L">");
    CZELString lower = text;
    lower.ToLower();
    CZELString out = text;
    int shift = 0;  // how much longer out is than text before the search position
    for (int p = 0;;) {
        int k = lower.Find(p, smileOpen), n = lower.Find(p, imgOpen);
        if (k < 0 && n < 0) break;
        CZELString replacement;
        int from, to;
        if (k >= 0 && (n < 0 || k < n)) {
            int o = lower.Find(k + 7, smileClose);
            if (o < 0) {
                p = k + 7;
                continue;
            }
            replacement = ConvertSmileyTags(lower.Substring(k + 7, o - k - 7));
            from = k;
            to = o + 8;
        } else {
            int o = lower.Find(n + 12, close);
            if (o < 0) {
                p = n + 12;
                continue;
            }
            unsigned number = 0;
            if (DecimalAt(lower, n + 12, o, number)) replacement = ImgCodeToSmiley(number);
            from = n;
            to = o + 1;
        }
        p = to;
        if (replacement.IsEmpty()) continue;
        CZELString head = out.Substring(0, from + shift);
        CZELString tail = out.Substring(to + shift, out.GetLength() - to - shift);
        out = head + replacement + tail;
        shift += replacement.GetLength() - (to - from);
    }
    return out;
}

CZELString ExpandCartoonMessage(const CZELString& text)
{
    for (const wchar_t* title : CartoonTitles)
        if (text.Find(0, CZELString(title)) >= 0) return CZELString(CartoonPrefix) + title;
    return CZELString();
}

} // namespace Mrim
