// Ids of the program's own resources and of the small dialogs' items. The
// file dialog's panel and the progress window have theirs in panel_ids.h.
#pragma once

// String table: the three format descriptions.
#define IDS_KAF_DESCRIPTION 1
#define IDS_KGF_DESCRIPTION 2
#define IDS_TGA_DESCRIPTION 3
#define IDS_PNG_DESCRIPTION 4

// Program icon.
#define IDI_KGFTOOL 100

// Dialog templates.
#define IDD_ABOUT 117
#define IDD_KGF_OPTIONS 118
#define IDD_TGA_OPTIONS 120
#define IDD_IMAGE_INFO 130
#define IDD_SPLASH 141

// KGF options (118) and TGA options (120).
#define IDC_MIPMAPS_ONE 1000
#define IDC_MIPMAPS_FIVE 1001
#define IDC_BEST_QUALITY 1002
#define IDC_BPP_24 1000
#define IDC_BPP_32 1001
#define IDC_SUFFIX 1003
#define IDC_ALL_MIPMAPS 1012
#define IDC_SUFFIX_EXAMPLE 1013

// Image information (130).
#define IDC_INFO_TYPE 1031
#define IDC_INFO_RESOLUTION 1032
#define IDC_INFO_COLOR_DEPTH 1033
#define IDC_INFO_MIPMAPS 1034
#define IDC_INFO_FRAMES 1035
// What else is worth knowing, such as frames of several sizes.
#define IDC_INFO_NOTE 1036

// About (117).
#define IDC_VISIT 1008
#define IDC_ABOUT_HELP 1010
