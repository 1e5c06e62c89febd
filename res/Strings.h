#pragma once

// The program's own texts, by their resource numbers.
namespace voldrane::res {

inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDR_TRAYMENU = 130;
inline constexpr int IDI_OFFICE = 132;
inline constexpr int IDI_NO_OFFICE = 136;

inline constexpr const char* kAppTitle = "Voldrane";         // 57344
inline constexpr const char* kMainFrameString = "Voldrane";  // 128, first line names the lock
inline constexpr const char* kAskDeleteOffice =              // 61204
    "Are you sure you want to delete this office network?";
inline constexpr const char* kAskUseCurrentNetwork = "Use Current Network Settings?";  // 61205
inline constexpr const char* kAskAddCurrentNetwork =                                   // 61206
    "Would you like to add the current network to Voldrane now?";
inline constexpr const char* kNoOfficeNetworks = "No Office Networks Specified";          // 61207
inline constexpr const char* kCannotDetermineOffice = "Cannot Determine Office Network";  // 61208
// The tooltip once another program has removed the office in use.
inline constexpr const char* kAppliedOfficeRemoved = "The office network in use was removed";

}  // namespace voldrane::res
