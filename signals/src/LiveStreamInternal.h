// What LiveStream::Open reaches beyond the line streams.
#pragma once

#include <memory>
#include <string>

#include "signals/LiveStream.h"

namespace signals_detail {

// The sound card's capture through SDL2: source is "audio:DEVICE" as given,
// device the name after "audio:" (empty for the default device).
std::unique_ptr<LiveStream> OpenAudioCapture(const std::string& source, const std::string& device,
                                             const LiveSourceOptions& options);

}  // namespace signals_detail
