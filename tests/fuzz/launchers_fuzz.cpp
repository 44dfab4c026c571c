// Any access record through the launch builders: a record the launchers accept yields exactly the
// quoted connection file and one /V: argument, the two FreeRDP arguments, and the record's URL.
#include <fuzzer/FuzzedDataProvider.h>

#include "launch/launchers.hpp"

using namespace corvalis;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const link::DadosAcesso dados{input.ConsumeRandomLengthString(),
                                  input.ConsumeRandomLengthString(),
                                  input.ConsumeRemainingBytesAsString()};
    const auto command = launch::remoteDesktopCommand("C:\\Corvalis", dados);
    const std::string values = dados.servidor + dados.portaRdp + dados.portaWeb;
    const std::string target = dados.servidor + ":" + dados.portaRdp;
    // Accepted values hold host and port characters only: no blank, quote, slash, "?", "#" or "@"
    // that could add an argument after /V: or move the URL's host and port.
    const bool ok =
        !launch::isSafeAccessValue(values) ||
        (values.find_first_not_of(
             "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_:[]") ==
             std::string::npos &&
         command.commandLine == "mstsc.exe \"C:\\Corvalis\\Tol-Cloud.rdp\" /V:" + target &&
         command.freeRdpArguments.size() == 2 && command.freeRdpArguments[1] == "/v:" + target &&
         launch::webUrl(dados) == "http://" + dados.servidor + ":" + dados.portaWeb + "/lumo");
    return ok ? 0 : (__builtin_trap(), 0);
}
