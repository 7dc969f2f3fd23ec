#pragma once
// Resource identifiers of the Outlook library, shared by its code and res/outlook.rc.

#define IDC_CONTACT_ACTION 5000
#define IDI_CONTACT 5001
#define IDD_OUTLOOK_PREFS 5002
#define IDI_OUTLOOK 5003
