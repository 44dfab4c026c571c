#pragma once

// Shared by the resource script and the C++ code.
#define IDI_CORVALIS 1
#define IDR_LOGO 101
#define IDB_SINAL_VERMELHO 102
#define IDB_SINAL_VERDE 103
