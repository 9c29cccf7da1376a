// Speed of the vCard import and export: 10,000 cards as address books and phones write them
// (two in three 3.0 cards with folded notes and addresses, one in three 2.1 cards with
// quoted-printable UTF-8 names), read from a file into an empty contact list.
#include "store/contact_exchange.h"
#include "store/contact_store.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <unistd.h>

namespace {

constexpr int kCards = 10'000;

const char* const kFirstNames[] = { "John", "Anna", "Peter", "Maria", "Liam", "Olivia", "Noah", "Emma" };
const char* const kLastNames[] = { "Smith", "Johnson", "Novak", "Garcia", "O'Brien", "Lee", "Brown" };
const char* const kGroups[] = { "Business", "Family", "Friends", "Clients", "Suppliers" };

std::string Digits(std::mt19937& random, int count)
{
    std::string digits;
    for (int i = 0; i < count; ++i)
        digits.push_back(char('0' + random() % 10));
    return digits;
}

std::string Card30(std::mt19937& random, int i)
{
    const std::string first = kFirstNames[random() % std::size(kFirstNames)];
    const std::string last = std::string(kLastNames[random() % std::size(kLastNames)]) + std::to_string(i);
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nN:" + last + ";" + first + ";;;\r\nFN:" + first + " " + last
        + "\r\nORG:Acme\\, Inc.;Sales\r\nTITLE:Account manager\r\n"
          "item1.TEL;type=CELL;type=VOICE;type=pref:+1 (555) "
        + Digits(random, 3) + "-" + Digits(random, 4) + "\r\nTEL;type=WORK;type=VOICE:+1 555 "
        + Digits(random, 7) + "\r\nTEL;type=HOME;type=FAX:+1 555 " + Digits(random, 7)
        + "\r\nEMAIL;type=INTERNET:" + first + "." + std::to_string(i)
        + "@example.com\r\nADR;type=WORK:;Suite " + Digits(random, 3) + ";" + Digits(random, 3)
        + " Main Street;Springfield;IL;" + Digits(random, 5) + ";USA\r\nNOTE:Met at the spring fair\\, booth "
        + Digits(random, 3)
        + ".\\nCall after 5 pm\\; ask for the extension. This line is long enough to be\r\n"
          "  folded by the address book.\r\nCATEGORIES:"
        + kGroups[random() % std::size(kGroups)] + "\r\nEND:VCARD\r\n";
}

// A phone's card: "Jiří Škoda" in quoted-printable UTF-8 with a soft line break.
std::string Card21(std::mt19937& random, int i)
{
    return "BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C5=A0koda"
        + std::to_string(i) + ";Ji=C5=99=C3=\n=AD;;;\nTEL;CELL;PREF:+420 6" + Digits(random, 8)
        + "\nTEL;HOME;VOICE:+420 2" + Digits(random, 8) + "\nEND:VCARD\n";
}

// The cards in a temporary file, removed when the benchmark ends.
class CardsFileOnDisk {
public:
    CardsFileOnDisk()
        : m_path(std::filesystem::temp_directory_path()
            / ("kestrium-vcard-bench-" + std::to_string(::getpid()) + ".vcf"))
    {
        std::mt19937 random(42);
        std::ofstream out(m_path, std::ios::binary);
        for (int i = 0; i < kCards; ++i)
            out << (i % 3 == 2 ? Card21(random, i) : Card30(random, i));
    }
    ~CardsFileOnDisk() { std::filesystem::remove(m_path); }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

const std::filesystem::path& CardsFile()
{
    static const CardsFileOnDisk file;
    return file.Path();
}

ContactStore EmptyContacts()
{
    ContactStore contacts;
    contacts.Groups().Load("/nonexistent/KestriumContactGroups.csv");
    return contacts;
}

void BM_ImportTenThousandCards(benchmark::State& state)
{
    const std::filesystem::path& file = CardsFile();
    std::size_t added = 0;
    for (auto _ : state) {
        ContactStore contacts = EmptyContacts();
        added = ContactExchange::ImportFile(file, contacts).added;
    }
    state.counters["added"] = double(added);
    state.counters["file_MB"] = double(std::filesystem::file_size(file)) / 1e6;
}
BENCHMARK(BM_ImportTenThousandCards)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same file again into the list it filled: every card is checked and found present.
void BM_ImportTenThousandCardsAgain(benchmark::State& state)
{
    ContactStore contacts = EmptyContacts();
    ContactExchange::ImportFile(CardsFile(), contacts);
    std::size_t duplicates = 0;
    for (auto _ : state)
        duplicates = ContactExchange::ImportFile(CardsFile(), contacts).duplicates;
    state.counters["duplicates"] = double(duplicates);
}
BENCHMARK(BM_ImportTenThousandCardsAgain)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportTenThousandContacts(benchmark::State& state)
{
    ContactStore contacts = EmptyContacts();
    ContactExchange::ImportFile(CardsFile(), contacts);
    const std::filesystem::path file
        = std::filesystem::temp_directory_path() / "kestrium-vcard-bench-out.vcf";
    for (auto _ : state)
        ContactExchange::ExportFile(file, contacts, VCardVersion::V4);
    state.counters["file_MB"] = double(std::filesystem::file_size(file)) / 1e6;
    std::filesystem::remove(file);
}
BENCHMARK(BM_ExportTenThousandContacts)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
