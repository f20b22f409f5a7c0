"""kvodevice: the device configuration of an imaging system, from Python.

The configuration -- the units installed in the system, the serial ports they
are linked to, driver files and sets of units -- lives in kvoDevice.xml in a
data directory. Open it with Configuration, change it, save:

    import kvodevice

    with kvodevice.Configuration("/srv/kvoRQ") as config:
        config.add_unit("U303x0")
        config.set_unit("U303x0", driver="stage303.so", model="Motorised stage 303")
        config.link("U303x0", "COM3")
        config.create_set("Brightfield", comment="Main stage and the colour camera")
        config.add_to_set("Brightfield", "U303x0")
        config.active_set = "Brightfield"
    # saved here; an exception in the block would have discarded every change

    for unit in kvodevice.Configuration("/srv/kvoRQ", read_only=True).units:
        print(unit.id, unit.model, unit.ports)

Units are named "U<device>x<index>" ("U303x0") or (device, index) pairs;
ports "COM3". Changes stay in memory until save() (or the end of a with
block); any number of objects and processes may hold the same data
directory, and a save merges with what others saved meanwhile.

Errors: every refusal raises a subclass of Error with the library's reason:
UnitExistsError (there already), NotListedError (not there), InvalidIdError
(a bad id, port or text; also a ValueError), SaveError (with errno),
OpenError (the opening gave up; nothing was changed).

Other writers: Watch gives a descriptor for selectors or asyncio that is
readable when the document changed; Configuration.is_stale tells whether
the file is another one now, and refresh() loads it, keeping this object's
own changes, and returns the DocumentChanges.

Repair: history() lists the versions saves replaced, restore() puts one
back, read_document() shows what a file holds with its findings, compare()
what differs between two.

Capabilities: load_ini() reads device descriptions from INI files;
is_cam_adapter_enabled(device, Processing.SHADING) tells whether a camera
processing function is available, device_info(device) what the files say
of a device, set_feature() switches host features such as ACQ_ENABLE_HDRI.
"""

from ._kvodevice import (
    Configuration,
    DeviceInfo,
    DocumentChanges,
    DocumentContent,
    DriverChanges,
    DriverEntry,
    Error,
    Finding,
    FindingKind,
    HistoryVersion,
    InvalidIdError,
    ListChange,
    NotListedError,
    OpenError,
    OpenOutcome,
    OpenReport,
    PortChange,
    PortChanges,
    PortEntry,
    Processing,
    SaveError,
    SaveReport,
    Set,
    SetChange,
    SetChanges,
    SetEntry,
    Unit,
    UnitChange,
    UnitChanges,
    UnitEntry,
    UnitExistsError,
    ValueChange,
    Watch,
    compare,
    data_dir,
    device_info,
    devices,
    devices_at_position,
    devices_with_tag,
    history,
    in_capability_table,
    is_cam_adapter_enabled,
    is_feature_enabled,
    load_ini,
    read_document,
    restore,
    set_data_dir,
    set_feature,
    tags,
    version,
)

#: The version of libkvodevice.so loaded, "MAJOR.MINOR.PATCH".
__version__ = version()

__all__ = [
    "Configuration", "Unit", "Set", "Watch",
    "Error", "UnitExistsError", "NotListedError", "InvalidIdError", "SaveError", "OpenError",
    "OpenOutcome", "OpenReport", "SaveReport",
    "DocumentContent", "UnitEntry", "PortEntry", "SetEntry", "DriverEntry", "Finding", "FindingKind",
    "DocumentChanges", "UnitChanges", "PortChanges", "DriverChanges", "SetChanges",
    "UnitChange", "PortChange", "SetChange", "ValueChange", "ListChange",
    "HistoryVersion", "history", "restore", "read_document", "compare",
    "Processing", "DeviceInfo", "load_ini", "is_cam_adapter_enabled", "in_capability_table", "device_info",
    "devices", "tags", "devices_with_tag", "devices_at_position",
    "set_feature", "is_feature_enabled", "data_dir", "set_data_dir", "version",
]
