#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The tissue under a simulated sweep. Depths in millimetres from the skin surface.
struct CalvimetroProfile
{
    double skinMm = 1.6;        // skin and dermis: the bright band at the surface
    double fatMm = 12.0;        // mean subcutaneous fat thickness
    double fatSwingMm = 2.5;    // slow change of the fat thickness along a sweep
    int fatPeriodBlocks = 640;  // scan blocks for one full swing
    double fasciaMm = 1.0;      // the bright fascia under the fat
    double muscleMm = 24.0;     // from the fascia down to the bone surface
    double noise = 6.0;         // electronic noise floor, in sample levels
    int liftOffBlock = -1;      // from this scan block on the probe is off the skin: no echo
    int liftOffEndBlock = -1;   // from this block on it touches again (-1: it stays off)
    double fatSlopeMm = 0.0;    // steady change of the fat thickness per block: a tilted boundary
    double fasciaGapMm = 0.0;   // above 0: the fascia shows as two bright lines this far apart
    uint64_t seed = 0x5ca1ab1eULL;
};

// The calvimetro as seen from its USB pipes: it takes 2-byte requests on the OUT endpoint
// and answers on the IN endpoint with its info text or with 2048-byte blocks (the idle
// pattern while the button is up, echo lines while it is held). Echo lines are
// deterministic: the same profile, seed, block index and gain always give the same bytes,
// and the fat thickness they show is known.
//
// Not thread-safe: its owners lock around it.
class CalvimetroModel
{
public:
    static constexpr uint8_t serialIndex = 3;

    CalvimetroModel();

    // A request arrived on the OUT endpoint. Unknown requests are ignored.
    void receive(const uint8_t *data, int length);
    // Writes the reply to the pending request (at most `capacity` bytes) and returns its
    // length; -1 when no request waits for an answer (the host's read then times out).
    int send(uint8_t *data, int capacity);
    bool hasPendingRequest() const;
    bool nextReplyIsScanBlock() const;
    void dropPendingRequest();

    // Power cycle: button up, sweep over, no request pending.
    void reset();

    void setButtonPressed(bool pressed);
    bool buttonPressed() const;
    // Presses the button and lets it go after `blocks` scan blocks.
    void startSweep(int blocks);
    // Index, within the current press, of the next scan block to send.
    int sweepBlock() const;
    // Gain byte of the last block request, and of the last one answered with a scan block.
    int lastGain() const;
    int lastScanGain() const;

    const std::string &serial() const;
    void setSerial(const std::string &serial);
    double offsetMm() const;
    void setOffsetMm(double mm);
    // The info text; by default it names the model and carries the offset in parentheses.
    std::string infoText() const;
    // Replaces the info text verbatim (for malformed texts); useDefaultInfoText() undoes it.
    void setInfoText(const std::string &text);
    void useDefaultInfoText();
    // The info reply on the wire: one character per 16-bit little-endian unit, then a
    // zero unit, at most 128 bytes.
    std::vector<uint8_t> infoReply() const;

    const CalvimetroProfile &profile() const;
    void setProfile(const CalvimetroProfile &profile);
    double fatThicknessMm(int block) const;
    double fatTopMm() const;
    double fatBottomMm(int block) const;
    double boneDepthMm(int block) const;
    // False while the probe is lifted off the skin: the block has no echo at all.
    bool touchesSkin(int block) const;
    // Byte of a block at which depth 0 lies, as the offset puts it.
    int lineOffset() const;

    // One 2048-byte echo block for scan block `block` at gain byte `gain`.
    void renderScanBlock(uint8_t *data, int gain, int block) const;
    static void renderIdleBlock(uint8_t *data);

private:
    enum class Request { None, Info, Block };

    Request m_request = Request::None;
    int m_requestGain = 0;
    int m_lastGain = 0;
    int m_lastScanGain = 0;
    bool m_pressed = false;
    int m_sweepBlock = 0;
    int m_sweepLength = -1;  // -1: held until released
    std::string m_serial;
    double m_offsetMm = 5.77;
    bool m_customInfo = false;
    std::string m_infoText;
    CalvimetroProfile m_profile;
};
