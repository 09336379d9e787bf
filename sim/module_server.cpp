#include "module_server.h"

#include "line_timing.h"
#include "reply_capture.h"
#include "rtu_frames.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <unistd.h>

namespace {

void logRequest(const std::vector<std::uint8_t> &query)
{
    // Frames of functions without an address and a count (4 bytes) log both as 0.
    const bool addressed = query.size() >= 8;
    const int function = query[1];
    const int address = addressed ? query[2] << 8 | query[3] : 0;
    const int count = addressed ? query[4] << 8 | query[5] : 0;
    std::printf("request %02X %04X %d %02X\n", function, address, count, query[0]);
    std::fflush(stdout);
}

void sendFrame(modbus_t *ctx, const std::vector<std::uint8_t> &frame)
{
    waitAsOnTheLine(frame.size());
    if (write(modbus_get_socket(ctx), frame.data(), frame.size()) < 0)
        std::fprintf(stderr, "korun-sim: write failed: %s\n", std::strerror(errno));
}

// Before some exception replies (a count out of range, an unknown function) the library
// discards everything queued on its descriptor, which on this line may be the next
// request, for another module. Requests arrive here whole, so the reply is built on a
// pipe, where that discarding finds nothing, and then sent.
void reply(modbus_t *ctx, SimModule &module, const std::uint8_t *query, int length)
{
    const std::vector<std::uint8_t> frame = captureReply(ctx, query, length, module.mapping());
    if (!frame.empty())
        sendFrame(ctx, frame);
}

// The request is served once (a write takes effect once); its reply goes out twice,
// byte for byte, as from a module or repeater that repeats itself.
void replyTwice(modbus_t *ctx, SimModule &module, const std::uint8_t *query, int length, int gapMs)
{
    const std::vector<std::uint8_t> frame = captureReply(ctx, query, length, module.mapping());
    if (frame.empty())
        return;
    sendFrame(ctx, frame);
    if (gapMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
    sendFrame(ctx, frame);
}

LineAfterRequest misbehave(modbus_t *ctx, SimModule &module, const FaultPlan &fault, const std::uint8_t *query,
                           int length)
{
    const int function = query[1];
    const int address = query[2] << 8 | query[3];
    const int count = query[4] << 8 | query[5];
    switch (fault.kind) {
    case FaultPlan::None:
    case FaultPlan::Silent:
        return LineAfterRequest::Open;
    case FaultPlan::Exception:
        modbus_reply_exception(ctx, query, unsigned(fault.exceptionCode));
        return LineAfterRequest::Open;
    case FaultPlan::Late:
        std::this_thread::sleep_for(std::chrono::milliseconds(fault.delayMs));
        reply(ctx, module, query, length);
        return LineAfterRequest::Open;
    case FaultPlan::Vanish:
        return LineAfterRequest::Vanished;
    case FaultPlan::Twice:
        replyTwice(ctx, module, query, length, fault.delayMs);
        return LineAfterRequest::Open;
    case FaultPlan::BadCrc:
    case FaultPlan::Short:
    case FaultPlan::Long:
    case FaultPlan::Cut:
        break;
    }
    std::vector<std::uint8_t> frame;
    const int slave = module.busAddress();
    std::uint16_t *registers = module.registers();
    if (function == 0x03) {
        const int served = fault.kind == FaultPlan::Short ? count - 1 : fault.kind == FaultPlan::Long ? count + 1 : count;
        frame = readResponse(slave, registers, ModuleModel::registerCount, address, served);
    } else if (function == 0x10 && fault.kind == FaultPlan::BadCrc) {
        for (int i = 0; i < count && address + i < ModuleModel::registerCount && 8 + 2 * i < length; ++i)
            registers[address + i] = std::uint16_t(query[7 + 2 * i] << 8 | query[8 + 2 * i]);
        frame = writeResponse(slave, address, count);
    } else {
        reply(ctx, module, query, length);
        return LineAfterRequest::Open;
    }
    if (fault.kind == FaultPlan::BadCrc)
        frame.back() ^= 0x5A;
    if (fault.kind == FaultPlan::Cut)
        frame.resize(frame.size() / 2); // the rest never comes
    sendFrame(ctx, frame);
    return LineAfterRequest::Open;
}

} // namespace

LineAfterRequest serveRequest(modbus_t *ctx, SimModule &module, const std::vector<std::uint8_t> &query)
{
    logRequest(query);
    noteRequestBytes(query.size());
    modbus_set_slave(ctx, module.busAddress());
    module.model().refreshLiveValues();
    const int length = int(query.size());
    // Frames shorter than a read or write, of functions the module does not have, never
    // reach the fault plan: the library answers them with an exception.
    FaultPlan &plan = module.fault();
    if (length < 8 || !plan.takeTurn(query[2] << 8 | query[3])) {
        reply(ctx, module, query.data(), length);
        return LineAfterRequest::Open;
    }
    const FaultPlan fault = plan;
    if (plan.once)
        plan = FaultPlan{};
    return misbehave(ctx, module, fault, query.data(), length);
}

void serveBroadcast(modbus_t *ctx, ModuleSet &modules, const std::vector<std::uint8_t> &query)
{
    logRequest(query);
    // Nobody answers a broadcast: whatever reply the library makes goes nowhere.
    for (SimModule *module : modules.all())
        captureReply(ctx, query.data(), int(query.size()), module->mapping());
}
