#pragma once

// Numbers that only the Windows program's resources use: its dialog templates, their
// controls, and the string table. The numbers and texts that the Linux program shares live in
// res/Resource.h and res/Strings.h. The resource compiler reads all three through the
// #define header that res/win32/RcDefines.cmake makes from them, so each number is written
// once, here or there.
namespace voldrane::res {

// Dialog templates (the about box is IDD_ABOUTBOX in Resource.h).
inline constexpr int IDD_OFFICE = 129;
inline constexpr int IDD_CONFIG = 133;

// Configuration dialog (IDD_CONFIG). Close is IDCLOSE (8), Help is ID_HELP_FINDER.
inline constexpr int IDC_CONFIG_OFFICES = 1003;  // list view of the offices
inline constexpr int IDC_CONFIG_SELECT = 999;
inline constexpr int IDC_CONFIG_NEW = 1002;
inline constexpr int IDC_CONFIG_EDIT = 1001;
inline constexpr int IDC_CONFIG_DELETE = 998;
inline constexpr int IDC_CONFIG_AUTODETECT = 1009;
inline constexpr int IDC_CONFIG_FOLLOW_NETWORK = 1010;
inline constexpr int IDC_CONFIG_NOTIFY = 1011;
inline constexpr int IDC_CONFIG_AUTOSTART = 1012;

// Office dialog (IDD_OFFICE). OK and Cancel are IDOK and IDCANCEL.
inline constexpr int IDC_OFFICE_TABS = 1000;
inline constexpr int IDC_OFFICE_NAME = 1007;
inline constexpr int IDC_OFFICE_PRINTER = 1004;        // drop-down list of the printers
inline constexpr int IDC_OFFICE_PRINTER_LABEL = 1002;  // "Default Printer"
inline constexpr int IDC_OFFICE_PRINTERS = 1008;       // list view of the installed printers
inline constexpr int IDC_OFFICE_PRINTERS_LABEL = 1001;
inline constexpr int IDC_OFFICE_NOT_SUPPORTED = 1020;  // the Drive Mapping tab's only text
inline constexpr int IDC_OFFICE_IP_ADDRESS = 1005;
inline constexpr int IDC_OFFICE_IP_ADDRESS_LABEL = 1003;
inline constexpr int IDC_OFFICE_SUBNET_MASK = 1006;
inline constexpr int IDC_OFFICE_SUBNET_MASK_LABEL = 1012;
inline constexpr int IDC_OFFICE_DEFAULT_GATEWAY = 1014;
inline constexpr int IDC_OFFICE_DEFAULT_GATEWAY_LABEL = 1017;
inline constexpr int IDC_OFFICE_DHCP_SERVER = 1015;
inline constexpr int IDC_OFFICE_DHCP_SERVER_LABEL = 1018;
inline constexpr int IDC_OFFICE_DNS_SERVER1 = 1010;
inline constexpr int IDC_OFFICE_DNS_SERVER1_LABEL = 1011;
inline constexpr int IDC_OFFICE_DNS_SERVER2 = 1016;
inline constexpr int IDC_OFFICE_DNS_SERVER2_LABEL = 1019;
inline constexpr int IDC_OFFICE_WINS_SERVER = 1009;
inline constexpr int IDC_OFFICE_WINS_SERVER_LABEL = 1013;
inline constexpr int IDC_OFFICE_APPLY = 12321;

// About box (IDD_ABOUTBOX): its picture shows icon IDB_ABOUT.
inline constexpr int IDC_ABOUT_VERSION = 1100;
inline constexpr int IDC_ABOUT_TEXT = 1101;

// String table: the texts of Strings.h under the numbers the program loads them by
// (IDR_MAINFRAME holds kMainFrameString, and is also the program's icon: the lowest icon
// number, the one Explorer shows for voldrane.exe).
inline constexpr int IDS_APP_TITLE = 57344;  // kAppTitle
inline constexpr int IDS_ASK_DELETE_OFFICE = 61204;
inline constexpr int IDS_ASK_USE_CURRENT_NETWORK = 61205;
inline constexpr int IDS_ASK_ADD_CURRENT_NETWORK = 61206;
inline constexpr int IDS_NO_OFFICE_NETWORKS = 61207;
inline constexpr int IDS_CANNOT_DETERMINE_OFFICE = 61208;
inline constexpr int IDS_APPLIED_OFFICE_REMOVED = 61209;

}  // namespace voldrane::res
