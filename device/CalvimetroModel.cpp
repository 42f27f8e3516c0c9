#include "device/CalvimetroModel.h"

#include "device/CalvimetroProtocol.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

using namespace CalvimetroProtocol;

namespace {

constexpr double kPi = 3.14159265358979323846;

// splitmix64: small, fast and good enough for speckle and noise.
struct Random
{
    uint64_t state;

    uint64_t next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
};

// Per-sample tables that do not depend on the line: tissue attenuation and the two
// phases of the muscle-fibre pattern.
struct DepthTables
{
    std::array<double, scanRealMaxIndex> attenuation{};
    std::array<double, scanRealMaxIndex> fibreSin{};
    std::array<double, scanRealMaxIndex> fibreCos{};

    DepthTables()
    {
        for (int i = 0; i < scanRealMaxIndex; ++i) {
            const double z = i * mmPerSample;
            attenuation[i] = std::exp(-0.011 * z);
            fibreSin[i] = std::sin(2.3 * z);
            fibreCos[i] = std::cos(2.3 * z);
        }
    }
};

const DepthTables &depthTables()
{
    static const DepthTables tables;
    return tables;
}

uint8_t toSample(double v)
{
    if (!(v > 0.0))
        return 0;
    if (v >= 255.0)
        return 255;
    return static_cast<uint8_t>(v + 0.5);
}

std::string formatOffset(double mm)
{
    // Locale-independent: the host parses it with a '.' decimal point.
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, mm, std::chars_format::general, 6);
    return std::string(text, result.ptr);
}

}  // namespace

CalvimetroModel::CalvimetroModel()
    : m_serial("VX1-SIM-0001")
{
}

void CalvimetroModel::receive(const uint8_t *data, int length)
{
    if (length < requestLength) {
        m_request = Request::None;
        return;
    }
    if (data[0] == infoCommand0 && data[1] == infoCommand1) {
        m_request = Request::Info;
    } else if (data[1] == blockCommand) {
        m_request = Request::Block;
        m_requestGain = data[0];
        m_lastGain = data[0];
    } else {
        m_request = Request::None;
    }
}

int CalvimetroModel::send(uint8_t *data, int capacity)
{
    const Request request = m_request;
    m_request = Request::None;
    if (request == Request::None || capacity < 0)
        return -1;
    if (request == Request::Info) {
        const std::vector<uint8_t> reply = infoReply();
        const int n = std::min(capacity, static_cast<int>(reply.size()));
        std::memcpy(data, reply.data(), static_cast<size_t>(n));
        return n;
    }
    std::array<uint8_t, blockSize> scratch;
    uint8_t *block = capacity >= blockSize ? data : scratch.data();
    if (m_pressed) {
        renderScanBlock(block, m_requestGain, m_sweepBlock);
        m_lastScanGain = m_requestGain;
        ++m_sweepBlock;
        if (m_sweepLength >= 0 && m_sweepBlock >= m_sweepLength)
            m_pressed = false;
    } else {
        renderIdleBlock(block);
    }
    const int n = std::min(capacity, blockSize);
    if (block != data)
        std::memcpy(data, block, static_cast<size_t>(n));
    return n;
}

bool CalvimetroModel::hasPendingRequest() const
{
    return m_request != Request::None;
}

bool CalvimetroModel::nextReplyIsScanBlock() const
{
    return m_request == Request::Block && m_pressed;
}

void CalvimetroModel::dropPendingRequest()
{
    m_request = Request::None;
}

void CalvimetroModel::reset()
{
    m_request = Request::None;
    m_pressed = false;
    m_sweepBlock = 0;
    m_sweepLength = -1;
}

void CalvimetroModel::setButtonPressed(bool pressed)
{
    if (pressed && !m_pressed) {
        m_sweepBlock = 0;
        m_sweepLength = -1;
    }
    m_pressed = pressed;
}

bool CalvimetroModel::buttonPressed() const
{
    return m_pressed;
}

void CalvimetroModel::startSweep(int blocks)
{
    m_sweepBlock = 0;
    m_sweepLength = std::max(blocks, 0);
    m_pressed = blocks > 0;
}

int CalvimetroModel::sweepBlock() const
{
    return m_sweepBlock;
}

int CalvimetroModel::lastGain() const
{
    return m_lastGain;
}

int CalvimetroModel::lastScanGain() const
{
    return m_lastScanGain;
}

const std::string &CalvimetroModel::serial() const
{
    return m_serial;
}

void CalvimetroModel::setSerial(const std::string &serial)
{
    m_serial = serial;
}

double CalvimetroModel::offsetMm() const
{
    return m_offsetMm;
}

void CalvimetroModel::setOffsetMm(double mm)
{
    m_offsetMm = mm;
}

std::string CalvimetroModel::infoText() const
{
    if (m_customInfo)
        return m_infoText;
    return "CALVIMETRO VX1 fw 2.4 (" + formatOffset(m_offsetMm) + ")";
}

void CalvimetroModel::setInfoText(const std::string &text)
{
    m_customInfo = true;
    m_infoText = text;
}

void CalvimetroModel::useDefaultInfoText()
{
    m_customInfo = false;
    m_infoText.clear();
}

std::vector<uint8_t> CalvimetroModel::infoReply() const
{
    std::vector<uint8_t> reply;
    reply.reserve(infoReplyLength);
    for (const char c : infoText()) {
        if (static_cast<int>(reply.size()) + 2 > infoReplyLength)
            break;
        reply.push_back(static_cast<uint8_t>(c));
        reply.push_back(0);
    }
    if (static_cast<int>(reply.size()) + 2 <= infoReplyLength) {
        reply.push_back(0);
        reply.push_back(0);
    }
    return reply;
}

const CalvimetroProfile &CalvimetroModel::profile() const
{
    return m_profile;
}

void CalvimetroModel::setProfile(const CalvimetroProfile &profile)
{
    m_profile = profile;
}

double CalvimetroModel::fatThicknessMm(int block) const
{
    const int period = std::max(m_profile.fatPeriodBlocks, 1);
    double swing = m_profile.fatSwingMm * std::sin(2.0 * kPi * block / period);
    if (m_profile.fatSlopeMm != 0.0)
        swing += m_profile.fatSlopeMm * block;
    return std::max(0.5, m_profile.fatMm + swing);
}

double CalvimetroModel::fatTopMm() const
{
    return m_profile.skinMm;
}

double CalvimetroModel::fatBottomMm(int block) const
{
    return fatTopMm() + fatThicknessMm(block);
}

double CalvimetroModel::boneDepthMm(int block) const
{
    const int period = std::max(m_profile.fatPeriodBlocks, 1);
    const double wobble = 1.5 * std::sin(2.0 * kPi * block / (period * 0.6) + 1.0);
    double fascia = m_profile.fasciaMm;
    if (m_profile.fasciaGapMm > 0.0)
        fascia = 2.0 * m_profile.fasciaMm + m_profile.fasciaGapMm;
    return fatBottomMm(block) + fascia + m_profile.muscleMm + wobble;
}

bool CalvimetroModel::touchesSkin(int block) const
{
    if (m_profile.liftOffBlock < 0 || block < m_profile.liftOffBlock)
        return true;
    return m_profile.liftOffEndBlock >= 0 && block >= m_profile.liftOffEndBlock;
}

int CalvimetroModel::lineOffset() const
{
    const double samples = m_offsetMm / mmPerSample;
    if (!(samples > 0.0))
        return 0;
    if (samples >= blockSize - 1)
        return blockSize - 1;
    return static_cast<int>(samples);
}

void CalvimetroModel::renderScanBlock(uint8_t *data, int gain, int block) const
{
    if (!touchesSkin(block)) {
        std::fill(data, data + blockSize, uint8_t(0));
        return;
    }
    const DepthTables &tables = depthTables();
    Random random{m_profile.seed ^ ((static_cast<uint64_t>(block) + 1) * 0xD1B54A32D192ED03ULL)};
    const double gainFactor = std::pow(std::clamp(gain, 0, 255) / 160.0, 1.4);
    const double noise = m_profile.noise;
    const int offset = lineOffset();

    // Ring-down of the transducer face before depth 0.
    for (int i = 0; i < offset; ++i)
        data[i] = toSample(170.0 * std::exp(-i / 14.0) * gainFactor + noise * random.uniform());

    const double skin = m_profile.skinMm;
    const double fat = fatThicknessMm(block);
    const double fatBottom = skin + fat;
    double fasciaEnd = fatBottom + m_profile.fasciaMm;
    // A double fascia: a gap as dark as the fat between two bright lines.
    double gapStart = fasciaEnd;
    double gapEnd = fasciaEnd;
    if (m_profile.fasciaGapMm > 0.0) {
        gapEnd = gapStart + m_profile.fasciaGapMm;
        fasciaEnd = gapEnd + m_profile.fasciaMm;
    }
    const double bone = boneDepthMm(block);
    const double boneEnd = bone + 1.4;
    const double septum1 = skin + 0.35 * fat;
    const double septum2 = skin + 0.72 * fat;
    const double fibrePhase = block * 0.013;
    const double phaseSin = std::sin(fibrePhase);
    const double phaseCos = std::cos(fibrePhase);

    double speckle = random.uniform();
    const int samples = std::min(scanRealMaxIndex, blockSize - offset);
    for (int i = 0; i < samples; ++i) {
        const double z = i * mmPerSample;
        // Speckle correlated over a few samples, as the pulse length smears it.
        speckle = 0.55 * speckle + 0.45 * random.uniform();
        double echo;
        if (z < 0.3) {
            echo = 225.0 + 30.0 * speckle;  // entry echo at the skin surface
        } else if (z < skin) {
            echo = 125.0 + 90.0 * speckle;  // dermis
        } else if (z < fatBottom) {
            echo = 12.0 + 28.0 * speckle;  // subcutaneous fat: dark
            if (std::abs(z - septum1) < 0.1 || std::abs(z - septum2) < 0.1)
                echo += 40.0;  // faint connective septa
        } else if (z < fasciaEnd) {
            if (z >= gapStart && z < gapEnd)
                echo = 12.0 + 28.0 * speckle;
            else
                echo = 200.0 + 55.0 * speckle;  // fascia: bright line
        } else if (z < bone) {
            const double fibres = tables.fibreSin[i] * phaseCos + tables.fibreCos[i] * phaseSin;
            echo = 60.0 + 70.0 * speckle + 16.0 * fibres;  // muscle speckle with fibres
        } else if (z < boneEnd) {
            echo = 232.0 + 23.0 * speckle;  // bone surface
        } else {
            echo = 3.0 + 8.0 * speckle;  // acoustic shadow behind the bone
        }
        data[offset + i] = toSample(echo * tables.attenuation[i] * gainFactor + noise * random.uniform());
    }
    for (int i = offset + samples; i < blockSize; ++i)
        data[i] = toSample(noise * random.uniform());

    // A line must never read as the idle pattern.
    if (std::all_of(data, data + idlePatternLength, [](uint8_t v) { return v == idleByte; }))
        data[0] = idleByte + 1;
}

void CalvimetroModel::renderIdleBlock(uint8_t *data)
{
    std::fill(data, data + blockSize, idleByte);
}
