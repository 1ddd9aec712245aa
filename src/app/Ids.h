// Command and window identifiers of the main window.
#pragma once

namespace hc12 {

enum CommandId : int {
    ID_EXIT = 5999,
    ID_NEW_BUFFER = 6000,
    ID_CLOSE_BUFFER = 6005,
    ID_CONNECT = 6006,
    ID_FILL = 6007,
    ID_COM1 = 6008,
    ID_COM2 = 6009,
    ID_COM3 = 6010,
    ID_COM4 = 6011,
    ID_READ_EEPROM = 6015,
    ID_WRITE_EEPROM = 6016,
    ID_SELECTION = 6017,
    ID_OPEN_FILE = 6018,
    ID_SAVE_FILE = 6019,
    ID_COMPARE = 6021,
    ID_ABOUT = 6022,
    ID_TOOLBAR = 6025,
    ID_NOTEBOOK = 6026,
    ID_FIELDS = 6028,
    ID_MODEL = 6029,
    ID_QUARTZ = 6030,
    ID_CHANGED_ONLY = 6031,
};

}  // namespace hc12
