// Prints the caption and the endpoint the client would use: a program that links the core alone.
#include <iostream>

#include "app/frm_cv.hpp"
#include "link/control_server.hpp"

int main() {
    const corvalis::link::Endpoint server = corvalis::link::controlServerFromEnvironment();
    std::cout << corvalis::app::windowCaption() << " -> " << server.host << ':' << server.port
              << '\n';
    return 0;
}
