#pragma once
// The verbs of kavorctl. Each takes its own arguments (the verb first) and returns the exit code.

#include <QStringList>

int RunPorts(const QStringList& arguments);
int RunSend(const QStringList& arguments);
int RunSim(const QStringList& arguments);
int RunExec(const QStringList& arguments);
int RunModel(const QStringList& arguments);
int RunScan(const QStringList& arguments);
int RunAddress(const QStringList& arguments);
int RunConfig(const QStringList& arguments);
int RunMonitor(const QStringList& arguments);
