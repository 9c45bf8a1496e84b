#include "modules/rs485_dummy.h"

TRS485Dummy::TRS485Dummy(TSer485BusMaster* busMaster, uint8_t adresse)
    : TBaseModul(busMaster, adresse) {
  Description = "unbekanntes RS485 Slave Modul";
}
