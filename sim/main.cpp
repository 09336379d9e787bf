// korun-sim: a simulated Korun module, a Modbus RTU server on a serial line.
#include "fault_plan.h"
#include "module_model.h"
#include "reply_capture.h"
#include "rtu_frames.h"
#include "sim_options.h"

#include <modbus.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <sys/select.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

class Simulator
{
public:
    Simulator(const Options &options, modbus_mapping_t *mapping)
        : options_(options), mapping_(mapping)
    {
        model_.attach(mapping->tab_registers);
        model_.seedUninterpretedBytes();
        for (int channel = 0; channel < 4; ++channel)
            model_.configureChannel(channel, options.channels[channel]);
        model_.setReferenceTemperatures(options.cold[0], options.cold[1]);
        model_.setNoise(options.noise);
    }

    ~Simulator() { closeLine(); }

    bool openLine()
    {
        ctx_ = newContext();
        return ctx_ != nullptr;
    }

    int run()
    {
        std::printf("ready %s %d\n", options_.device.c_str(), slave());
        std::fflush(stdout);
        bool stdinOpen = true;
        for (;;) {
            fd_set readable;
            FD_ZERO(&readable);
            int highest = -1;
            if (stdinOpen) {
                FD_SET(STDIN_FILENO, &readable);
                highest = STDIN_FILENO;
            }
            const int line = ctx_ ? modbus_get_socket(ctx_) : -1;
            if (line >= 0) {
                FD_SET(line, &readable);
                highest = std::max(highest, line);
            }
            if (highest < 0)
                return 0;
            if (select(highest + 1, &readable, nullptr, nullptr, nullptr) < 0 && errno != EINTR)
                return 1;
            if (stdinOpen && FD_ISSET(STDIN_FILENO, &readable))
                stdinOpen = readCommands();
            if (line >= 0 && FD_ISSET(line, &readable))
                serveRequest();
        }
    }

private:
    int slave() const { return 176 + options_.selector; }

    modbus_t *newContext()
    {
        modbus_t *ctx = modbus_new_rtu(options_.device.c_str(), 115200, 'N', 8, 1);
        if (ctx && std::getenv("KORUN_SIM_DEBUG"))
            modbus_set_debug(ctx, TRUE);
        if (!ctx || modbus_set_slave(ctx, slave()) != 0 || modbus_connect(ctx) != 0) {
            std::fprintf(stderr, "korun-sim: cannot open %s: %s\n", options_.device.c_str(), modbus_strerror(errno));
            if (ctx)
                modbus_free(ctx);
            return nullptr;
        }
        return ctx;
    }

    // After a request for another server the library expects that server's answer next
    // and would swallow the following request as one. No other server answers on this
    // line, so the context is replaced; the new one is opened before the old one closes,
    // so the line never loses its last reader.
    void forgetForeignRequest()
    {
        modbus_t *fresh = newContext();
        if (!fresh)
            return;
        modbus_flush(ctx_);
        closeLine();
        ctx_ = fresh;
    }

    void closeLine()
    {
        if (ctx_) {
            modbus_close(ctx_);
            modbus_free(ctx_);
            ctx_ = nullptr;
        }
    }

    void serveRequest()
    {
        std::uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
        const int length = modbus_receive(ctx_, query);
        if (length == 0) {
            forgetForeignRequest();
            return;
        }
        if (length < 0) {
            if (errno == EIO || errno == EBADF || errno == ECONNRESET) {
                std::printf("line lost\n");
                std::fflush(stdout);
                closeLine();
            } else {
                modbus_flush(ctx_);
            }
            return;
        }
        const int function = query[1];
        const int address = query[2] << 8 | query[3];
        const int count = query[4] << 8 | query[5];
        std::printf("request %02X %04X %d\n", function, address, count);
        std::fflush(stdout);

        model_.refreshLiveValues();
        if (!fault_.takeTurn(address)) {
            modbus_reply(ctx_, query, length, mapping_);
            return;
        }
        const FaultPlan fault = fault_;
        if (fault_.once)
            fault_ = FaultPlan{};
        misbehave(fault, query, length, function, address, count);
    }

    void misbehave(const FaultPlan &fault, const std::uint8_t *query, int length, int function, int address, int count)
    {
        switch (fault.kind) {
        case FaultPlan::None:
        case FaultPlan::Silent:
            return;
        case FaultPlan::Exception:
            modbus_reply_exception(ctx_, query, unsigned(fault.exceptionCode));
            return;
        case FaultPlan::Late:
            std::this_thread::sleep_for(std::chrono::milliseconds(fault.delayMs));
            modbus_reply(ctx_, query, length, mapping_);
            return;
        case FaultPlan::Vanish:
            closeLine();
            std::printf("line closed\n");
            std::fflush(stdout);
            return;
        case FaultPlan::Twice:
            replyTwice(query, length, fault.delayMs);
            return;
        case FaultPlan::BadCrc:
        case FaultPlan::Short:
        case FaultPlan::Long:
            break;
        }
        std::vector<std::uint8_t> frame;
        if (function == 0x03) {
            const int served = fault.kind == FaultPlan::Short ? count - 1 : fault.kind == FaultPlan::Long ? count + 1 : count;
            frame = readResponse(slave(), mapping_->tab_registers, ModuleModel::registerCount, address, served);
        } else if (function == 0x10 && fault.kind == FaultPlan::BadCrc) {
            for (int i = 0; i < count && address + i < ModuleModel::registerCount; ++i)
                mapping_->tab_registers[address + i] = std::uint16_t(query[7 + 2 * i] << 8 | query[8 + 2 * i]);
            frame = writeResponse(slave(), address, count);
        } else {
            modbus_reply(ctx_, query, length, mapping_);
            return;
        }
        if (fault.kind == FaultPlan::BadCrc)
            frame.back() ^= 0x5A;
        sendFrame(frame);
    }

    // The request is served once (a write takes effect once); its reply goes out twice,
    // byte for byte, as from a module or repeater that repeats itself.
    void replyTwice(const std::uint8_t *query, int length, int gapMs)
    {
        const std::vector<std::uint8_t> frame = captureReply(ctx_, query, length, mapping_);
        if (frame.empty())
            return;
        sendFrame(frame);
        if (gapMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
        sendFrame(frame);
    }

    void sendFrame(const std::vector<std::uint8_t> &frame)
    {
        if (write(modbus_get_socket(ctx_), frame.data(), frame.size()) < 0)
            std::fprintf(stderr, "korun-sim: write failed: %s\n", std::strerror(errno));
    }

    // Returns false once standard input has ended.
    bool readCommands()
    {
        char buffer[4096];
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        pending_.append(buffer, std::size_t(n));
        std::size_t newline;
        while ((newline = pending_.find('\n')) != std::string::npos) {
            const std::string command = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            if (!command.empty())
                execute(command);
        }
        return true;
    }

    void execute(const std::string &command)
    {
        std::istringstream words(command);
        std::string verb;
        words >> verb;
        std::string error;
        if (verb == "temp") {
            int channel;
            double value;
            if (words >> channel >> value && channel >= 1 && channel <= 4)
                model_.setChannelValue(channel - 1, value);
            else
                error = "usage: temp N V";
        } else if (verb == "cold") {
            double a, b;
            if (words >> a >> b)
                model_.setReferenceTemperatures(a, b);
            else
                error = "usage: cold T12 T34";
        } else if (verb == "noise") {
            double amplitude;
            if (words >> amplitude)
                model_.setNoise(amplitude);
            else
                error = "usage: noise A";
        } else if (verb == "fault") {
            std::string rest;
            std::getline(words, rest);
            parseFaultPlan(rest, fault_, error);
        } else if (verb == "reopen") {
            if (!ctx_ && !openLine())
                error = "cannot open the line";
        } else if (verb == "poke") {
            unsigned address, value;
            if (!(words >> std::hex >> address) || address >= unsigned(ModuleModel::registerCount))
                error = "usage: poke ADDR V...";
            while (error.empty() && words >> std::hex >> value && address < unsigned(ModuleModel::registerCount))
                model_.poke(int(address++), std::uint16_t(value));
        } else if (verb == "unpin") {
            model_.unpinAll();
        } else if (verb == "dump") {
            unsigned address, count;
            if (words >> std::hex >> address >> std::dec >> count && address + count <= unsigned(ModuleModel::registerCount)) {
                model_.refreshLiveValues();
                std::printf("dump %04X", address);
                for (unsigned i = 0; i < count; ++i)
                    std::printf(" %04X", mapping_->tab_registers[address + i]);
                std::printf("\n");
            } else {
                error = "usage: dump ADDR COUNT";
            }
        } else {
            error = "unknown command '" + verb + "'";
        }
        if (error.empty())
            std::printf("ok %s\n", command.c_str());
        else
            std::printf("error %s\n", error.c_str());
        std::fflush(stdout);
    }

    Options options_;
    modbus_mapping_t *mapping_;
    ModuleModel model_;
    modbus_t *ctx_ = nullptr;
    FaultPlan fault_;
    std::string pending_;
};

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // the request log is read live by other processes
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fputs("korun-sim: bad arguments; see korun-sim --help\n", stderr);
        return 2;
    }
    modbus_mapping_t *mapping = modbus_mapping_new_start_address(0, 0, 0, 0, 0, ModuleModel::registerCount, 0, 0);
    if (!mapping) {
        std::fputs("korun-sim: out of memory\n", stderr);
        return 1;
    }
    int result = 1;
    {
        Simulator simulator(options, mapping);
        if (simulator.openLine())
            result = simulator.run();
    }
    modbus_mapping_free(mapping);
    return result;
}
