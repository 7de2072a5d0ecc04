/* Resource and control identifiers of the settings dialogs. Plain defines:
   the resource compiler reads this file too. The Japanese and English
   templates share every control identifier. */
#pragma once

/* Templates: Japanese / English. */
#define IDD_CAMERA_FRAME_JA 101
#define IDD_IMAGE_FRAME_JA 102
#define IDD_IMAGE_PAGE_JA 103
#define IDD_ANALOG_FRAME_JA 104
#define IDD_ANALOG_COLOR_PAGE_JA 105
#define IDD_CAMERA_FRAME_EN 106
#define IDD_IMAGE_PAGE_EN 107
#define IDD_IMAGE_FRAME_EN 108
#define IDD_ANALOG_COLOR_PAGE_EN 110
#define IDD_ANALOG_FRAME_EN 111
#define IDD_GRAY_PAGE_EN 112
#define IDD_GRAY_PAGE_JA 113
#define IDD_CHANNEL_PAGE_JA 114
#define IDD_CHANNEL_PAGE_EN 115
#define IDD_ANALOG_PAGE_JA 116
#define IDD_ANALOG_PAGE_EN 117

/* Frames. */
#define IDC_DEFAULT 3
#define IDC_TAB 1001
#define IDC_APPLY 1002

/* Camera frame. */
#define IDC_COLOR 1009
#define IDC_SIZE_LIST 1010
#define IDC_SUBSAMPLE 1012
#define IDC_CLOCK 1014
#define IDC_H_TOTAL 1039
#define IDC_V_TOTAL 1040
#define IDC_H_EFFECTIVE 1041
#define IDC_V_EFFECTIVE 1042
#define IDC_H_START 1043
#define IDC_V_START 1044
#define IDC_WAIT_TIME 1045

/* Analogue page. */
#define IDC_GAIN_BAR 1013
#define IDC_GAIN_EDIT 1015
#define IDC_GAIN_SPIN 1038
#define IDC_EXPOSURE_LABEL 2135
#define IDC_EXPOSURE_BAR 1026
#define IDC_EXPOSURE_EDIT 1027
#define IDC_EXPOSURE_SPIN 1043
#define IDC_EXPOSURE_MS 1049
#define IDC_REAL_EXPOSURE_LABEL 2134
#define IDC_REAL_EXPOSURE_EDIT 2131
#define IDC_REAL_EXPOSURE_UNIT 2132
#define IDC_REAL_EXPOSURE_RANGE 2133
#define IDC_BLACK_LABEL 2127
#define IDC_BLACK_BAR 2128
#define IDC_BLACK_EDIT 2129
#define IDC_BLACK_SPIN 2130
#define IDC_PELTIER 2124
#define IDC_SHORT_EXPOSURE 2125
#define IDC_GAIN_LEVEL 2126
#define IDC_AUTO_GAIN 1036
#define IDC_AUTO_EXPOSURE 1037
#define IDC_MIRROR_V 1028
#define IDC_MIRROR_H 1029

/* Image filter page: trackbar, edit, spin box of each value. */
#define IDC_BRIGHTNESS_BAR 2001
#define IDC_BRIGHTNESS_EDIT 2002
#define IDC_BRIGHTNESS_SPIN 2004
#define IDC_CONTRAST_BAR 2011
#define IDC_CONTRAST_EDIT 2012
#define IDC_CONTRAST_SPIN 2014
#define IDC_HUE_BAR 2021
#define IDC_HUE_EDIT 2022
#define IDC_HUE_SPIN 2024
#define IDC_SATURATION_BAR 2031
#define IDC_SATURATION_EDIT 2032
#define IDC_SATURATION_SPIN 2034
#define IDC_SHARPNESS_BAR 2041
#define IDC_SHARPNESS_EDIT 2042
#define IDC_SHARPNESS_SPIN 2044
#define IDC_R_GAIN_BAR 2051
#define IDC_R_GAIN_EDIT 2052
#define IDC_R_GAIN_SPIN 2054
#define IDC_G_GAIN_BAR 2061
#define IDC_G_GAIN_EDIT 2062
#define IDC_G_GAIN_SPIN 2063
#define IDC_B_GAIN_BAR 2071
#define IDC_B_GAIN_EDIT 2072
#define IDC_B_GAIN_SPIN 2073
#define IDC_GAMMA_BAR 2081
#define IDC_GAMMA_EDIT 2082
#define IDC_GAMMA_SPIN 2084
#define IDC_BAYER_MODE0 1030
#define IDC_BAYER_MODE1 1031
#define IDC_BAYER_MODE2 1032
#define IDC_BAYER_MODE3 1033
#define IDC_AUTO_ONCE 2074
#define IDC_AUTO_ALL_FRAMES 1035

/* Gray filter page: gains and offsets R, G1, G2, B; each trackbar is
   followed by its edit and spin box. */
#define IDC_GRAY_GAIN_R_BAR 2100
#define IDC_GRAY_GAIN_G1_BAR 2103
#define IDC_GRAY_GAIN_G2_BAR 2106
#define IDC_GRAY_GAIN_B_BAR 2109
#define IDC_GRAY_OFFSET_R_BAR 2112
#define IDC_GRAY_OFFSET_G1_BAR 2115
#define IDC_GRAY_OFFSET_G2_BAR 2118
#define IDC_GRAY_OFFSET_B_BAR 2121
#define IDC_FILTER_BAYER 1046
#define IDC_FILTER_BAYER_CONVERT 1047
#define IDC_FILTER_GRAYSCALE 1048

/* Channel page (four gains and four offsets; no dialog shows it). */
#define IDC_CHANNEL_GAIN1_EDIT 2140
#define IDC_CHANNEL_OFFSET1_EDIT 2148
