#pragma once
// Resource identifiers of the Opera library, shared by its code and res/opera.rc.

// The plug-in's icon, also drawn beside every bookmark it finds.
#define IDI_OPERA 101
