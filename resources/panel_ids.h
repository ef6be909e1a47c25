// Ids of the file dialog's output panel and of the progress window.
#pragma once

#define IDD_PANEL 124
#define IDD_PROGRESS 121

// Panel items.
#define IDC_PANEL_OUTPUT_TYPE 1002
#define IDC_PANEL_OUTPUT_FOLDER 1003
#define IDC_PANEL_IMAGE_INFO 1004
#define IDC_PANEL_ABOUT 1006
#define IDC_PANEL_BROWSE 1007
#define IDC_PANEL_OPTIONS 1008
#define IDC_PANEL_HELP 1009
#define IDC_PANEL_PREVIEW 1016

// Progress window items; its Cancel button is IDCANCEL (2).
#define IDC_PROGRESS_BAR 1014
#define IDC_PROGRESS_FILE_LINE 1015
