#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "launch/launchers.hpp"
#include "ports/file_system.hpp"
#include "ports/socket.hpp"
#include "ports/timer.hpp"
#include "ports/view.hpp"

namespace corvalis::test {

// Records what the logic shows; starts as the window does: red at 1800, green hidden at 600.
class FakeView final : public ports::View {
public:
    void setCaption(std::string_view text) override { caption_ = text; }
    void setStatus(std::string_view text) override { statuses_.emplace_back(text); }
    void setLightVisible(ports::Light light, bool visible) override {
        lightEvents_.push_back(std::string(visible ? "show " : "hide ") + name(light));
        lights_[light].visible = visible;
    }
    bool isLightVisible(ports::Light light) const override { return lights_.at(light).visible; }
    int lightLeft(ports::Light light) const override { return lights_.at(light).left; }
    void setLightLeft(ports::Light light, int twips) override {
        lightEvents_.push_back(std::string("move ") + name(light) + " " + std::to_string(twips));
        lights_[light].left = twips;
    }
    std::string identification() const override { return box_; }
    void setIdentification(std::string_view text) override { box_ = text; }
    void setFocus(ports::ControlId control) override { focus_ = control; }
    void showMessage(std::string_view text) override { messages_.emplace_back(text); }

    std::string status() const { return statuses_.empty() ? "" : statuses_.back(); }

    std::string caption_;
    std::vector<std::string> statuses_;
    std::vector<std::string> messages_;
    std::vector<std::string> lightEvents_;
    std::string box_;
    std::optional<ports::ControlId> focus_;
    struct LightState {
        bool visible;
        int left;
    };
    std::map<ports::Light, LightState> lights_{{ports::Light::Vermelho, {true, 1800}},
                                               {ports::Light::Verde, {false, 600}}};

private:
    static const char* name(ports::Light light) {
        return light == ports::Light::Verde ? "verde" : "vermelho";
    }
};

// A socket whose peer is the test: it queues what "arrives" and records what the logic does.
class FakeSocket final : public ports::Socket {
public:
    void close() override {
        ++closes_;
        connected_ = false;
    }
    void setRemoteHost(std::string_view host) override { host_ = host; }
    void setRemotePort(std::uint16_t port) override { port_ = port; }
    bool connect() override {
        ++connects_;
        return connectStarts_;
    }
    bool isConnected() const override { return connected_; }
    std::string getData() override { return std::exchange(pending_, {}); }
    void sendData(std::string_view bytes) override { sent_.emplace_back(bytes); }

    // The server side of the fake: the connection completes, then data arrives and is reported.
    void accept() { connected_ = true; }
    void receive(std::string_view bytes) {
        pending_ += bytes;
        dataArrival_();
    }

    bool connectStarts_ = true;
    bool connected_ = false;
    int closes_ = 0;
    int connects_ = 0;
    std::string host_;
    std::uint16_t port_ = 0;
    std::string pending_;
    std::vector<std::string> sent_;
};

class FakeTimer final : public ports::Timer {
public:
    void start(std::chrono::milliseconds interval) override {
        running_ = true;
        interval_ = interval;
        ++starts_;
    }
    void stop() override { running_ = false; }
    void expire() const { expiry_(); }

    bool running_ = false;
    std::chrono::milliseconds interval_{0};
    int starts_ = 0;
};

// Files in memory; writes can be made to fail.
class FakeFileSystem final : public ports::FileSystem {
public:
    std::optional<std::string> readOrCreate(const std::string& path,
                                            std::size_t maxBytes) override {
        return files_[path].substr(0, maxBytes);
    }
    bool replace(const std::string& path, std::string_view bytes) override {
        ++writes_;
        if (failWrites_) {
            return false;
        }
        files_[path] = bytes;
        return true;
    }

    std::map<std::string, std::string> files_;
    bool failWrites_ = false;
    int writes_ = 0;
};

class RecordingProcessStarter final : public ports::ProcessStarter {
public:
    ports::StartResult startRemoteDesktop(const ports::RemoteDesktopCommand& command) override {
        started_.push_back(command);
        return result_;
    }
    void end(std::optional<int> exitStatus) const { ended_(exitStatus); }
    std::vector<ports::RemoteDesktopCommand> started_;
    ports::StartResult result_ = ports::StartResult::Started;
};

class RecordingBrowser final : public ports::Browser {
public:
    void open(std::string_view url) override { opened_.emplace_back(url); }
    std::vector<std::string> opened_;
};

}  // namespace corvalis::test
