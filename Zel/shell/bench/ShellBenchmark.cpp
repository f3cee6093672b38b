#include "Zel/shell/bench/ShellBenchmarks.h"

#include <cstdio>
#include <cstring>

// Every benchmark, or those named on the command line: startup, skin, messages, update, list, chatlog.
int main(int argc, char** argv)
{
    auto wanted = [&](const char* name) {
        if (argc < 2) return true;
        for (int i = 1; i < argc; ++i)
            if (std::strcmp(argv[i], name) == 0) return true;
        return false;
    };
    if (wanted("startup")) RunStartupBenchmark();
    if (wanted("skin")) RunSkinDecodeBenchmark();
    if (wanted("messages")) RunMessageBenchmark();
    if (wanted("update")) RunUpdateDownloadBenchmark();
    if (wanted("list")) RunContactListWindowBenchmark();
    if (wanted("chatlog")) RunChatLogBenchmark();
    return 0;
}
