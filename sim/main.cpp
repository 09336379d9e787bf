// korun-sim: simulated Korun modules, Modbus RTU servers sharing one serial line.
#include "line_timing.h"
#include "module_server.h"
#include "module_set.h"
#include "request_framer.h"
#include "sim_commands.h"
#include "sim_options.h"

#include <modbus.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/select.h>
#include <unistd.h>
#include <vector>

namespace {

class Simulator
{
public:
    Simulator(const std::string &device, ModuleSet &modules)
        : device_(device), modules_(modules)
    {
    }

    ~Simulator() { closeLine(); }

    bool openLine()
    {
        if (!ctx_)
            ctx_ = newContext();
        return ctx_ != nullptr;
    }

    int run()
    {
        std::printf("ready %s", device_.c_str());
        for (SimModule *module : modules_.all())
            std::printf(" %d", module->busAddress());
        std::printf("\n");
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
            if (select(highest + 1, &readable, nullptr, nullptr, nullptr) < 0) {
                if (errno == EINTR)
                    continue;
                return 1;
            }
            if (stdinOpen && FD_ISSET(STDIN_FILENO, &readable))
                stdinOpen = readCommands();
            // A command may have closed or reopened the line meanwhile.
            if (line >= 0 && ctx_ && modbus_get_socket(ctx_) == line && FD_ISSET(line, &readable))
                readLine();
        }
    }

private:
    // The context only writes replies; requests are read from its descriptor directly,
    // since the library's receiver serves a single server address.
    modbus_t *newContext()
    {
        modbus_t *ctx = modbus_new_rtu(device_.c_str(), 115200, 'N', 8, 1);
        if (ctx && std::getenv("KORUN_SIM_DEBUG"))
            modbus_set_debug(ctx, TRUE);
        if (!ctx || modbus_set_slave(ctx, modules_.first().busAddress()) != 0 || modbus_connect(ctx) != 0) {
            std::fprintf(stderr, "korun-sim: cannot open %s: %s\n", device_.c_str(), modbus_strerror(errno));
            if (ctx)
                modbus_free(ctx);
            return nullptr;
        }
        // Before some exception replies (a count out of range, an unknown function) the
        // library waits out its response timeout for the rest of a garbled request, deaf to
        // the line meanwhile; requests arrive here whole, so the wait is cut to nothing.
        modbus_set_response_timeout(ctx, 0, 1);
        // Bytes sent while the line was closed were sent to nobody.
        modbus_flush(ctx);
        return ctx;
    }

    void closeLine()
    {
        framer_.clear();
        if (ctx_) {
            modbus_close(ctx_);
            modbus_free(ctx_);
            ctx_ = nullptr;
        }
    }

    void readLine()
    {
        std::uint8_t buffer[512];
        const ssize_t n = read(modbus_get_socket(ctx_), buffer, sizeof buffer);
        if (n == 0 || (n < 0 && (errno == EIO || errno == EBADF || errno == ECONNRESET))) {
            std::printf("line lost\n");
            std::fflush(stdout);
            closeLine();
            return;
        }
        if (n < 0) {
            if (errno != EAGAIN && errno != EINTR) {
                modbus_flush(ctx_);
                framer_.clear();
            }
            return;
        }
        framer_.add(buffer, std::size_t(n), RequestFramer::Clock::now());
        std::vector<std::uint8_t> frame;
        while (ctx_ && framer_.next(frame))
            serve(frame);
    }

    void serve(const std::vector<std::uint8_t> &frame)
    {
        const int server = frame[0];
        if (server == MODBUS_BROADCAST_ADDRESS) {
            serveBroadcast(ctx_, modules_, frame);
            return;
        }
        SimModule *module = modules_.atBusAddress(server);
        if (!module)
            return; // for a server that is not on this line: nobody answers
        if (serveRequest(ctx_, *module, frame) == LineAfterRequest::Vanished) {
            closeLine();
            std::printf("line closed\n");
            std::fflush(stdout);
        }
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
                executeCommand(command, modules_, [this] { return openLine(); });
        }
        return true;
    }

    std::string device_;
    ModuleSet &modules_;
    modbus_t *ctx_ = nullptr;
    RequestFramer framer_;
    std::string pending_;
};

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // the request log is read live by other processes
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "korun-sim: %s\n", error.c_str());
        return 2;
    }
    setLineTiming(options.timing);
    ModuleSet modules;
    if (!modules.build(options)) {
        std::fputs("korun-sim: out of memory\n", stderr);
        return 1;
    }
    Simulator simulator(options.device, modules);
    return simulator.openLine() ? simulator.run() : 1;
}
