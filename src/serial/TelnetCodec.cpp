#include "TelnetCodec.h"

namespace hc12::telnet {

void AppendEscaped(std::vector<uint8_t>& out, const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        out.push_back(data[i]);
        if (data[i] == kIac)
            out.push_back(kIac);
    }
}

void AppendCommand(std::vector<uint8_t>& out, uint8_t verb, uint8_t option) {
    out.insert(out.end(), {kIac, verb, option});
}

void AppendSubnegotiation(std::vector<uint8_t>& out, uint8_t option,
                          const std::vector<uint8_t>& payload) {
    out.insert(out.end(), {kIac, kSb, option});
    AppendEscaped(out, payload.data(), payload.size());
    out.insert(out.end(), {kIac, kSe});
}

void Decoder::Feed(const uint8_t* data, size_t size, Sink& sink) {
    // Runs of plain data go to the sink in one call, always before whatever
    // command follows them.
    size_t runStart = 0;
    size_t runLength = 0;
    auto flushRun = [&] {
        if (runLength > 0)
            sink.OnData(data + runStart, runLength);
        runLength = 0;
    };

    for (size_t i = 0; i < size; ++i) {
        const uint8_t b = data[i];
        switch (state_) {
            case State::Data:
                if (b == kIac) {
                    flushRun();
                    state_ = State::Iac;
                } else {
                    if (runLength == 0)
                        runStart = i;
                    ++runLength;
                }
                break;
            case State::Iac:
                if (b == kIac) {
                    // An escaped 0xFF: a data byte of its own, not part of a run.
                    sink.OnData(&kIac, 1);
                    state_ = State::Data;
                } else if (b >= kWill && b <= kDont) {
                    verb_ = b;
                    state_ = State::Verb;
                } else if (b == kSb) {
                    state_ = State::SbOption;
                } else {
                    state_ = State::Data;  // NOP, GA, DM, ...: nothing for a serial line
                }
                break;
            case State::Verb:
                sink.OnOption(verb_, b);
                state_ = State::Data;
                break;
            case State::SbOption:
                sbOption_ = b;
                sb_.clear();
                sbOverflow_ = false;
                state_ = State::SbData;
                break;
            case State::SbData:
                if (b == kIac) {
                    state_ = State::SbIac;
                } else if (sb_.size() < kMaxSubnegotiation) {
                    sb_.push_back(b);
                } else {
                    sbOverflow_ = true;
                }
                break;
            case State::SbIac:
                if (b == kIac) {
                    if (sb_.size() < kMaxSubnegotiation)
                        sb_.push_back(kIac);
                    else
                        sbOverflow_ = true;
                    state_ = State::SbData;
                } else if (b == kSe) {
                    if (!sbOverflow_)
                        sink.OnSubnegotiation(sbOption_, sb_);
                    state_ = State::Data;
                } else {
                    // IAC and anything else inside a subnegotiation: a peer that
                    // forgot the end. Drop what was gathered; the byte is a command.
                    state_ = State::Iac;
                    --i;
                }
                break;
        }
    }
    flushRun();
}

Negotiation::Negotiation(std::initializer_list<uint8_t> localAccepted,
                         std::initializer_list<uint8_t> remoteAccepted) {
    for (uint8_t o : localAccepted)
        localAccepted_.set(o);
    for (uint8_t o : remoteAccepted)
        remoteAccepted_.set(o);
}

void Negotiation::RequestLocal(uint8_t option, std::vector<uint8_t>& out) {
    if (local_[option] != Side::No)
        return;
    local_[option] = Side::WantYes;
    AppendCommand(out, kWill, option);
}

void Negotiation::RequestRemote(uint8_t option, std::vector<uint8_t>& out) {
    if (remote_[option] != Side::No)
        return;
    remote_[option] = Side::WantYes;
    AppendCommand(out, kDo, option);
}

void Negotiation::Receive(uint8_t verb, uint8_t option, std::vector<uint8_t>& out) {
    // An answer is sent only when a state changes hands, never to confirm a state
    // that already holds: that is what keeps two ends from echoing each other.
    const bool enable = verb == kWill || verb == kDo;
    const bool local = verb == kDo || verb == kDont;
    Side& side = local ? local_[option] : remote_[option];
    const bool accepted = local ? localAccepted_[option] : remoteAccepted_[option];
    const uint8_t yes = local ? kWill : kDo;
    const uint8_t no = local ? kWont : kDont;

    if (enable) {
        if (side == Side::Yes)
            return;
        if (side == Side::WantYes) {
            side = Side::Yes;  // the answer to our own request
            return;
        }
        if (accepted) {
            side = Side::Yes;
            AppendCommand(out, yes, option);
        } else {
            AppendCommand(out, no, option);
        }
    } else {
        if (side == Side::Yes)
            AppendCommand(out, no, option);
        side = Side::No;  // from WantYes: our request was refused, no answer due
    }
}

}  // namespace hc12::telnet
