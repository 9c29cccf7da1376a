// write_full_stores FOLDER: fills a data folder with full stores for the benchmarks that run the
// real program (idle_and_memory.sh, startup_process.sh).
#include "full_stores.h"

#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "Usage: write_full_stores FOLDER\n";
        return 2;
    }
    WriteFullStores(argv[1]);
    return 0;
}
