#include "link/protocol.hpp"

#include <algorithm>

#include "text/cp1252.hpp"

namespace corvalis::link {
namespace {

constexpr char kItemSeparator = '|';
constexpr std::string_view kEmptyItem = "0";

enum RecordItem : std::size_t { kServidor = 0, kPortaRdp = 3, kPortaWeb = 4 };

bool endsInRefusal(std::string_view message) {
    const std::size_t length = std::min(message.size(), kRefusal.size());
    const std::string_view tail = message.substr(message.size() - length);
    return std::equal(
        tail.begin(), tail.end(), kRefusal.begin(), kRefusal.end(),
        [](char got, char wanted) { return text::upperCp1252(got) == text::upperCp1252(wanted); });
}

// Only the items the client reads are kept; those the reply lacks stay unset.
struct WantedItems {
    std::optional<std::string_view> servidor;
    std::optional<std::string_view> portaRdp;
    std::optional<std::string_view> portaWeb;
};

WantedItems splitRecord(std::string_view message) {
    WantedItems items;
    if (message.empty()) {
        return items;
    }
    std::size_t index = 0;
    std::size_t start = 0;
    while (index <= kPortaWeb) {
        const std::size_t end = std::min(message.find(kItemSeparator, start), message.size());
        const std::string_view item = message.substr(start, end - start);
        switch (index) {
            case kServidor:
                items.servidor = item;
                break;
            case kPortaRdp:
                items.portaRdp = item;
                break;
            case kPortaWeb:
                items.portaWeb = item;
                break;
            default:
                break;
        }
        if (end == message.size()) {
            break;
        }
        start = end + 1;
        ++index;
    }
    return items;
}

void assignItem(const std::optional<std::string_view>& item, std::string& target) {
    if (item) {
        target = text::decodeCp1252(item->empty() ? kEmptyItem : *item);
    }
}

}  // namespace

MessageKind classify(std::string_view message, bool socketConnected) {
    if (socketConnected && message == kGreeting) {
        return MessageKind::Greeting;
    }
    return endsInRefusal(message) ? MessageKind::Refusal : MessageKind::AccessRecord;
}

std::string request(std::string_view identificationUtf8) {
    std::string bytes(kRequestPrefix);
    bytes += text::encodeCp1252(identificationUtf8);
    return bytes;
}

void tratarRegistro(std::string_view message, DadosAcesso& dados) {
    const WantedItems items = splitRecord(message);
    assignItem(items.servidor, dados.servidor);
    assignItem(items.portaRdp, dados.portaRdp);
    assignItem(items.portaWeb, dados.portaWeb);
}

}  // namespace corvalis::link
