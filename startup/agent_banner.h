#pragma once
// The settings banners: what the agent runs with, line by line, for support
// staff reading the log.

namespace kv {

// The settings banners, at INFO.
void LogAgentBanner();
void LogDistributionServerBanner();
// The line that separates the banners' blocks.
inline constexpr const char* kBannerStarLine = "****************************************************************** \n";

}  // namespace kv
