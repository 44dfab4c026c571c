// Sistema and Lumo through the real window: the recording mstsc.exe beside this program, and the
// shell's open of an http URL routed to the same recorder.
#include <gtest/gtest.h>

#include "support.hpp"

namespace corvalis::win32::testing {
namespace {

using app::ControlId;

constexpr std::wstring_view kNotConnected =
    L"É necessário conectar para atualizar os dados antes de acessar os servidores.";
constexpr std::wstring_view kNotAllowed = L"Solicite ao Dpto. Comercial a liberação deste acesso.";
constexpr wchar_t kHttpOpenKey[] = L"Software\\Classes\\http\\shell\\open\\command";

// The test's own Wine prefix sends http URLs to the recorder for the length of one test; Wine's
// shell reads the handler from the machine's classes only.
class HttpHandlerOverride {
public:
    HttpHandlerOverride() {
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kHttpOpenKey, 0, nullptr, 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_,
                            nullptr) != ERROR_SUCCESS) {
            key_ = nullptr;
            return;
        }
        previous_ = defaultValue();
        const std::wstring command =
            L"\"" + (programFolder() / L"mstsc.exe").wstring() + L"\" \"%1\"";
        installed_ = setDefaultValue(command);
    }
    HttpHandlerOverride(const HttpHandlerOverride&) = delete;
    HttpHandlerOverride& operator=(const HttpHandlerOverride&) = delete;
    ~HttpHandlerOverride() {
        if (key_ != nullptr) {
            setDefaultValue(previous_);
            RegCloseKey(key_);
        }
    }

    [[nodiscard]] bool installed() const { return installed_; }

private:
    std::wstring defaultValue() const {
        std::wstring value(1024, L'\0');
        DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key_, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()),
                             &size) != ERROR_SUCCESS) {
            return {};
        }
        value.resize(size / sizeof(wchar_t));
        while (!value.empty() && value.back() == L'\0') {
            value.pop_back();
        }
        return value;
    }

    bool setDefaultValue(const std::wstring& value) const {
        return RegSetValueExW(
                   key_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }

    HKEY key_ = nullptr;
    std::wstring previous_;
    bool installed_ = false;
};

class Launch : public ::testing::Test {
protected:
    void SetUp() override {
        record = folder.path().parent_path() / L"registro da linha de comando.bin";
        SetEnvironmentVariableW(kRecordVariable.data(), record.c_str());
    }
    void TearDown() override { SetEnvironmentVariableW(kRecordVariable.data(), nullptr); }

    void connectWith(std::string reply) {
        server = std::make_unique<LoopbackControlServer>(ServerScript{true, std::move(reply)});
        frm = std::make_unique<WindowHarness>(
            MainWindowOptions{utf8(folder.path()), server->endpoint(), link::kDefaultTimeout});
        ASSERT_TRUE(frm->open());
        SetWindowTextW(frm->control(ControlId::IdentInst), L"acme");
        frm->click(ControlId::Conectar);
        ASSERT_TRUE(frm->pumpUntil([&] { return frm->isShown(ControlId::sinalVerde); }));
    }

    bool recorded() {
        return frm->pumpUntil([&] { return std::filesystem::exists(record); });
    }

    TestFolder folder;
    std::filesystem::path record;
    MessageBoxWatcher boxes;
    std::unique_ptr<LoopbackControlServer> server;
    std::unique_ptr<WindowHarness> frm;
};

TEST_F(Launch, SistemaStartsMstscOnTheExactCommandLine) {
    connectWith(std::string(kAccessRecord));
    frm->click(ControlId::Sistema);
    ASSERT_TRUE(recorded());

    const Recorded started = readRecord(record);
    EXPECT_EQ(started.commandLine,
              L"mstsc.exe \"" + folder.path().wstring() + L"\\Tol-Cloud.rdp\" /V:10.0.0.7:3390");
    EXPECT_EQ(started.showCommand, std::to_wstring(SW_SHOWNORMAL));
    EXPECT_TRUE(boxes.seen().empty());
}

TEST_F(Launch, EmptyRdpPortStillStartsWithATargetEndingInAColon) {
    connectWith("servidor.exemplo|a|b");
    frm->click(ControlId::Sistema);
    ASSERT_TRUE(recorded());
    EXPECT_EQ(readRecord(record).commandLine, L"mstsc.exe \"" + folder.path().wstring() +
                                                  L"\\Tol-Cloud.rdp\" /V:servidor.exemplo:");
}

TEST_F(Launch, LumoOpensTheWebApplicationThroughTheShell) {
    const HttpHandlerOverride handler;
    ASSERT_TRUE(handler.installed());
    connectWith(std::string(kAccessRecord));
    frm->click(ControlId::Lumo);
    ASSERT_TRUE(recorded());
    const std::wstring commandLine = readRecord(record).commandLine;
    EXPECT_TRUE(commandLine.ends_with(L" \"http://10.0.0.7:8080/lumo\"")) << commandLine;
    EXPECT_TRUE(boxes.seen().empty());
}

TEST_F(Launch, ClosedPortsSendTheUserToSalesEachButtonByItsOwnPort) {
    connectWith("10.0.0.7|a|b|0|8080");
    frm->click(ControlId::Sistema);
    connectWith("10.0.0.7|a|b|3390|");
    frm->click(ControlId::Lumo);

    const std::vector<SeenMessageBox> seen = boxes.seen();
    ASSERT_EQ(seen.size(), 2u);
    for (const SeenMessageBox& box : seen) {
        EXPECT_EQ(box.title, L"Pelmark");
        EXPECT_EQ(box.text, kNotAllowed);
        EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
        EXPECT_FALSE(box.hasIcon);
    }
    frm->pumpFor(kQuietPeriod);
    EXPECT_FALSE(std::filesystem::exists(record));
}

TEST_F(Launch, BeforeAnyConnectBothButtonsAskToConnectFirst) {
    frm = std::make_unique<WindowHarness>(MainWindowOptions{
        utf8(folder.path()), link::Endpoint{"127.0.0.1", 9}, link::kDefaultTimeout});
    ASSERT_TRUE(frm->open());
    frm->click(ControlId::Sistema);
    frm->click(ControlId::Lumo);

    const std::vector<SeenMessageBox> seen = boxes.seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, kNotConnected);
    EXPECT_EQ(seen[1].text, kNotConnected);
    frm->pumpFor(kQuietPeriod);
    EXPECT_FALSE(std::filesystem::exists(record));
}

}  // namespace
}  // namespace corvalis::win32::testing
