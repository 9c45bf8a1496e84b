#pragma once
// Picks and creates the property window of a module by the module's class.

class TBaseModul;
class TfrmModulBase;

// The window for the module's class (compared without regard to case): THDX01, TMXB01, TMXB02,
// TIFCPorts, or any other class name of two or more characters starting with "T". Created
// hidden and bound to the module; none when no window applies. The caller owns it.
TfrmModulBase* CreateModulFormFor(TBaseModul* modul);
