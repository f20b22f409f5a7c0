#!/usr/bin/env python3
"""Sets up a new workstation: a motorised stage on COM3 and a colour camera,
with a set that hosts load.

    setup_workstation.py [DATA_DIR]

DATA_DIR defaults to the library's data directory (KVO_DATA_DIR, else
$XDG_DATA_HOME/kvoRQ, else ~/.local/share/kvoRQ); it must exist.
"""

import sys

import kvodevice

data_dir = sys.argv[1] if len(sys.argv) > 1 else None

# The block saves at its end; an error inside it leaves the file as it was.
with kvodevice.Configuration(data_dir) as config:
    config.add_unit("U303x0")
    config.set_unit("U303x0", driver="stage303.so", model="Motorised stage 303",
                    name="Main stage", serial="ST-30317")
    config.add_unit((1201, 0))
    config.set_unit("U1201x0", driver="camera1201.so", model="Colour camera 1201")
    config.link("U303x0", "COM3")

    config.create_set("Brightfield", comment="Main stage and the colour camera")
    config.add_to_set("Brightfield", "U303x0")
    config.add_to_set("Brightfield", "U1201x0")
    config.active_set = "Brightfield"

    print(f"in {config.data_dir}:")
    for change in config.pending:
        print("  " + change)

print("saved")
