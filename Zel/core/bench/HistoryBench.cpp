// History file speed, the way the program uses the files: every append opens the contact's file,
// reads its header, writes and flushes the record, rewrites the header and closes it; a chat that
// opens loads the last few records. 100,000 messages go to one file; the append rate is printed per
// slice of 10,000, so a cost that grows with the file shows, and the last 50 records are loaded at
// every slice, so does theirs. Loading every record is printed beside it for scale; then the same
// file damaged: its first record hidden, and zeros after its records for an append to repair.
#include "Zel/core/bench/Benchmarks.h"

#include "Zel/core/history/HistoryFile.h"
#include "Zel/core/settings/SettingsStore.h"
#include "ZELCommon/Packer.h"
#include "ZELCommon/ZELFile.h"
#include "ZELCommon/tests/TempFolder.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

const int kMessages = 100000;
const int kSlice = 10000;
const unsigned kShown = 50;

class BenchContact : public IHistoryContacts {
public:
    bool Describe(int contact, HistoryContactInfo& out) override
    {
        out.protocolName = CZELString(L"Wex");
        out.accountName = CZELString(L"100200300");
        out.contactName = CZELString(L"400500600");
        out.alias = CZELString(L"Bench");
        out.inGroup = true;
        return contact == 1;
    }
};

}  // namespace

void RunHistoryBenchmark()
{
    TestSupport::TempFolder temp(L"ZelHistoryBench");
    const std::wstring& root = temp.path;
    std::wstring folder = root + L"History\\";

    bool failed = false;
    {
        BenchContact contact;
        CSettingsStore settings(nullptr, CZELString((root + L"settings.zel").c_str()));
        HistoryPlace place;
        place.folder = CZELString(folder.c_str());
        place.contacts = &contact;
        place.settings = &settings;
        CHistoryFile history(place);

        std::printf("History benchmark: %d messages appended to one file, the last %u loaded after every %d\n",
                    kMessages, kShown, kSlice);
        std::printf("  %8s  %14s  %16s  %12s\n", "records", "appends/s", "LoadLast(50) ms", "file KB");
        double appendSeconds = 0;
        for (int done = 0; done < kMessages && !failed;) {
            double start = BenchSeconds();
            for (int i = 0; i < kSlice; ++i, ++done) {
                wchar_t text[64];
                swprintf(text, 64, L"message number %d, a line of ordinary length", done + 1);
                if (history.Append(1, 1, (unsigned char)(done % 2), 0, 1600000000u + unsigned(done), CZELString(text)) != 0) {
                    failed = true;
                    break;
                }
            }
            double sliceSeconds = BenchSeconds() - start;
            appendSeconds += sliceSeconds;

            CZELArray<ChatLogEntry> last;
            start = BenchSeconds();
            int result = history.LoadLast(1, kShown, last);
            double loadSeconds = BenchSeconds() - start;
            failed = failed || result != 0 || last.GetCount() != int(kShown);

            WIN32_FILE_ATTRIBUTE_DATA data;
            GetFileAttributesExW(history.GetPath(1).GetBuffer(), GetFileExInfoStandard, &data);
            std::printf("  %8d  %14.0f  %16.3f  %12lu\n", done, kSlice / sliceSeconds, loadSeconds * 1000,
                        data.nFileSizeLow / 1024);
            std::fflush(stdout);
        }

        CZELArray<ChatLogEntry> all;
        double start = BenchSeconds();
        int result = history.LoadAll(1, all);
        double loadAllSeconds = BenchSeconds() - start;
        failed = failed || result != 0 || all.GetCount() != kMessages;

        std::printf("  appends overall:  %.0f /s  (%.1f us each)\n", kMessages / appendSeconds,
                    1e6 * appendSeconds / kMessages);
        std::printf("  LoadAll of %d records: %.1f ms\n", all.GetCount(), loadAllSeconds * 1000);

        // Damage: the first record's length made huge hides it from a walk from the start, so the
        // rest is found from the end; zeros after the records make the next append repair the file.
        CZELString path = history.GetPath(1);
        unsigned long long size = 0;
        {
            CZELFile file(path, CZELFile::ModeReadWrite);
            unsigned char lengths[2];
            const unsigned char huge[4] = {0xFF, 0xFF, 0xFF, 0xFF};
            failed = failed || !file.Open() || !file.SeekTo(44) || file.Read(lengths, 2) != 2;
            unsigned first = 44 + 2 + CPacker::Unpack16(lengths);
            failed = failed || !file.SeekTo(first) || file.Read(lengths, 2) != 2;
            first += 2 + CPacker::Unpack16(lengths);
            failed = failed || !file.SeekTo(first + 2) || !file.Write(huge, 4) || !file.GetSize(size);
        }
        CZELArray<ChatLogEntry> rest, last;
        start = BenchSeconds();
        result = history.LoadAll(1, rest);
        double restSeconds = BenchSeconds() - start;
        start = BenchSeconds();
        result |= history.LoadLast(1, kShown, last);
        double lastSeconds = BenchSeconds() - start;
        failed = failed || result != 0 || rest.GetCount() != kMessages - 1 || last.GetCount() != int(kShown);
        std::printf("  first record damaged: LoadAll %.1f ms (%d records), LoadLast(%u) %.3f ms\n",
                    restSeconds * 1000, rest.GetCount(), kShown, lastSeconds * 1000);
        {
            CZELFile file(path, CZELFile::ModeReadWrite);
            const unsigned char zeros[64] = {};
            failed = failed || !file.Open() || !file.SeekTo(size) || !file.Write(zeros, sizeof zeros);
        }
        start = BenchSeconds();
        failed = failed || history.Append(1, 1, 0, 0, 1700000000u, CZELString(L"after the zeros")) != 0;
        double repairSeconds = BenchSeconds() - start;
        std::printf("  zeros after the records: the append that repairs the file %.1f ms\n", repairSeconds * 1000);
        if (failed) std::printf("  WRONG RESULTS: an append or a load failed\n");
    }
}
