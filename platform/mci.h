#pragma once

#include "platform/mmsystem.h"

// Error codes and modes of the media control interface, with the platform's numbers.
using MCIERROR = DWORD;

inline constexpr MCIERROR MCIERR_BASE = 256;
inline constexpr MCIERROR MCIERR_INVALID_DEVICE_ID = MCIERR_BASE + 1;
inline constexpr MCIERROR MCIERR_HARDWARE = MCIERR_BASE + 6;
inline constexpr MCIERROR MCIERR_OUT_OF_MEMORY = MCIERR_BASE + 8;
inline constexpr MCIERROR MCIERR_UNSUPPORTED_FUNCTION = MCIERR_BASE + 18;
inline constexpr MCIERROR MCIERR_FILE_NOT_FOUND = MCIERR_BASE + 19;
inline constexpr MCIERROR MCIERR_DEVICE_NOT_READY = MCIERR_BASE + 20;
inline constexpr MCIERROR MCIERR_OUTOFRANGE = MCIERR_BASE + 26;
inline constexpr MCIERROR MCIERR_INVALID_FILE = MCIERR_BASE + 40;
inline constexpr MCIERROR MCIERR_FILENAME_REQUIRED = MCIERR_BASE + 48;
inline constexpr MCIERROR MCIERR_WAVE_OUTPUTSINUSE = MCIERR_BASE + 64;
inline constexpr MCIERROR MCIERR_WAVE_SETOUTPUTUNSUITABLE = MCIERR_BASE + 71;

inline constexpr DWORD MCI_MODE_NOT_READY = 524;
inline constexpr DWORD MCI_MODE_STOP = 525;
inline constexpr DWORD MCI_MODE_PLAY = 526;
inline constexpr DWORD MCI_MODE_PAUSE = 529;
