#include "link/protocol.hpp"

#include <algorithm>
#include <array>
#include <optional>

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

// The reply's items up to portaWeb, as far as it has them; those it lacks stay unset.
using FirstItems = std::array<std::optional<std::string_view>, kPortaWeb + 1>;

FirstItems splitRecord(std::string_view message) {
    FirstItems items;
    std::size_t start = 0;
    // An empty reply has no item at all; otherwise the item after the last separator ends it.
    for (std::size_t index = 0; !message.empty() && index < items.size() && start <= message.size();
         ++index) {
        const std::size_t end = std::min(message.find(kItemSeparator, start), message.size());
        items[index] = message.substr(start, end - start);
        start = end + 1;
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
    const FirstItems items = splitRecord(message);
    assignItem(items[kServidor], dados.servidor);
    assignItem(items[kPortaRdp], dados.portaRdp);
    assignItem(items[kPortaWeb], dados.portaWeb);
}

}  // namespace corvalis::link
