"""The kvodevice package against the real library, each test in a fresh data directory."""

import os
import pathlib
import selectors
import shutil
import subprocess
import sys

import pytest

import kvodevice as kd

EXAMPLES = pathlib.Path(os.environ.get("KVO_EXAMPLES", pathlib.Path(__file__).resolve().parents[2] / "examples"))
P = kd.Processing


@pytest.fixture
def sample(tmp_path):
    shutil.copy(EXAMPLES / "kvoDevice.xml", tmp_path)
    return tmp_path


def kvodev(data_dir, *args):
    subprocess.run([os.environ.get("KVODEV", "kvodev"), "--data-dir", str(data_dir), *args], check=True, capture_output=True)


def test_worked_example_builds_the_sample_workstation(tmp_path):
    script = EXAMPLES / "python" / "setup_workstation.py"
    out = subprocess.run([sys.executable, str(script), str(tmp_path)], check=True, capture_output=True, text=True).stdout
    assert "LinkUnitPort U303x0 COM3" in out and out.endswith("saved\n")
    with kd.Configuration(tmp_path, read_only=True) as config:
        stage = config.unit("U303x0")
        assert stage == config.unit((303, 0)) == config.units[0] != config.units[1]
        assert (stage.driver, stage.model, stage.name, stage.serial, stage.setup, stage.ports) == (
            "stage303.so", "Motorised stage 303", "Main stage", "ST-30317", None, ["COM3"])
        assert [unit.id for unit in config.units] == ["U303x0", "U1201x0"]
        assert config.set("Brightfield").members == ["U303x0", "U1201x0"]
        assert (config.active_set, config.pending, config.open_report.outcome) == ("Brightfield", [], kd.OpenOutcome.LOADED)
    document = tmp_path / "kvoDevice.xml"
    content = kd.read_document(document)
    assert content.valid and content.findings == [] and [port.port_no for port in content.ports] == ["COM3"]
    # What the sample configuration holds beyond the workstation, by meaning.
    changes = kd.compare(document, EXAMPLES / "kvoDevice.xml")
    assert [unit.id for unit in changes.units.added] == ["U303x1", "U332x0", "U170x0"]
    assert {change.a.id: [(v.field, v.before, v.after) for v in change.values] for change in changes.units.changed} == {
        "U303x0": [("setup", "", "include")], "U1201x0": [("serialNo", "", "CC-1201-0042")]}
    assert [s.name for s in changes.sets.added] == ["Fluorescence"] and changes.sets.changed == []
    assert changes.active_set is None and not changes.empty
    assert kd.compare(content, kd.read_document(document)).empty


def no_document(config, data_dir):
    (data_dir / "elsewhere" / "kvoDevice.xml").mkdir(parents=True)
    kd.Configuration(data_dir / "elsewhere")


def directory_gone(config, data_dir):
    config.add_unit("U1x0")
    shutil.rmtree(data_dir)
    config.save()


def closed(config, data_dir):
    config.close()
    config.units


@pytest.mark.parametrize("action, error, message", [
    (lambda c, d: c.add_unit("U303x0"), kd.UnitExistsError, "^U303x0 is listed already$"),
    (lambda c, d: c.create_set("Brightfield"), kd.UnitExistsError, 'set "Brightfield" exists already'),
    (lambda c, d: c.add_driver("STAGE303.so"), kd.UnitExistsError, "letter case aside"),
    (lambda c, d: c.link("U303x0", "COM3"), kd.UnitExistsError, "linked to COM3 already"),
    (lambda c, d: c.unit("U9x9"), kd.NotListedError, "^U9x9 is not listed$"),
    (lambda c, d: c.add_to_set("Brightfield", "U9x9"), kd.NotListedError, "^U9x9 is not listed$"),
    (lambda c, d: c.set("Darkfield"), kd.NotListedError, 'no set "Darkfield"'),
    (lambda c, d: c.unlink("U303x0", "COM4"), kd.NotListedError, "not linked to COM4"),
    (lambda c, d: c.remove_unit("U9x9", unlink=True), kd.NotListedError, "U9x9 is not listed"),
    (lambda c, d: c.add_unit("U3O3x0"), kd.InvalidIdError, r"^not a unit id \(.*\): 'U3O3x0'$"),
    (lambda c, d: c.unit((70000, 0)), kd.InvalidIdError, r"0 to 65535\): \(70000, 0\)"),
    (lambda c, d: c.link("U303x0", "LPT1"), kd.InvalidIdError, "^not a serial port .*: 'LPT1'$"),
    (lambda c, d: c.add_unit((65535, 0)), kd.InvalidIdError, "device 65535"),
    (lambda c, d: c.create_set(""), kd.InvalidIdError, "needs a name"),
    (lambda c, d: c.set_unit("U303x0", name="\x01"), kd.InvalidIdError, "XML cannot hold"),
    (lambda c, d: kd.restore(d / "missing.xml", d), kd.SaveError, "missing.xml: No such file"),
    (directory_gone, kd.SaveError, "No such file or directory"),
    (no_document, kd.OpenError, "kvoDevice.xml: Is a directory"),
    (lambda c, d: kd.Configuration(d, read_only=True).save(), kd.Error, "read-only"),
    (closed, kd.Error, "^the configuration is closed$"),
    (lambda c, d: c.unit(3.5), TypeError, "a unit is a str"),
    (lambda c, d: c.set_unit("U303x0", model="M", setup="on"), ValueError, "setup is 'include', 'exclude' or None"),
    (lambda c, d: c.set_unit("U303x0", colour="red"), TypeError, "keyword arguments"),
])
def test_each_refusal_raises_its_class_with_the_reason(sample, action, error, message):
    config = kd.Configuration(sample)
    with pytest.raises(error, match=message) as raised:
        action(config, sample)
    assert type(raised.value) is error
    if error is kd.SaveError:
        assert raised.value.errno == 2  # ENOENT
    if error in (TypeError, ValueError):  # a refused argument changes nothing
        assert config.pending == [] and config.unit("U303x0").model == "Motorised stage 303"
    assert issubclass(kd.InvalidIdError, ValueError) and issubclass(kd.SaveError, kd.Error)


def test_with_block_saves_or_discards_and_history_restores(sample):
    document = sample / "kvoDevice.xml"
    before = document.read_bytes()
    with pytest.raises(RuntimeError):
        with kd.Configuration(sample) as config:
            config.remove_unit("U303x0", unlink=True)
            raise RuntimeError("cancelled")
    assert document.read_bytes() == before and config.closed and kd.history(sample) == []
    with kd.Configuration(sample) as config:
        config.remove_unit("U303x0", unlink=True)
        config.set_unit("U303x1", name=None, setup="exclude")
    content = kd.read_document(document)
    assert [unit.id for unit in content.units] == ["U303x1", "U332x0", "U170x0", "U1201x0"]
    assert (content.units[0].name, content.units[0].setup) == ("", "exclude")
    assert "COM3" not in [port.port_no for port in content.ports if port.units] and content.findings == []
    [version] = kd.history(sample)
    assert version.reason == "save" and pathlib.Path(version.path).read_bytes() == before
    report = kd.restore(version, sample)
    assert document.read_bytes() == before and pathlib.Path(report.kept).exists() and len(kd.history(sample)) == 2


def test_watch_and_refresh_see_another_writer(tmp_path):
    with kd.Configuration(tmp_path) as config, kd.Watch(tmp_path) as watch:
        config.add_unit("U303x0")
        assert not config.is_stale and not watch.changed()
        with selectors.DefaultSelector() as selector:
            selector.register(watch, selectors.EVENT_READ)
            kvodev(tmp_path, "units", "add", "1201", "0")
            assert selector.select(timeout=10) and watch.changed()
        assert config.is_stale
        changes = config.refresh()
        assert [unit.id for unit in changes.units.added] == ["U1201x0"] and changes.units.removed == []
        assert not config.is_stale and config.pending == ["AddUnit U303x0"]
        assert [unit.id for unit in config.units] == ["U1201x0", "U303x0"]
    assert watch.closed
    assert [unit.id for unit in kd.read_document(tmp_path / "kvoDevice.xml").units] == ["U1201x0", "U303x0"]


@pytest.fixture(scope="module")
def ini_files():
    for name in ("cameras.ini", "positions.ini"):
        kd.load_ini(EXAMPLES / name)


@pytest.mark.parametrize("device, processing, expected", [
    (1202, P.SHADING, True), (1202, P.WHITEBALANCE, False), (1202, P.ACCUMULATION, True),
    (1201, P.WHITEBALANCE, True), (1203, P.SPLITTING, False), (1203, 6, False), (1203, P.BLACKBALANCE, True),
    (332, P.SHADING, True), (170, P.SHADING, False),  # the INI setting over the built-in table
    (303, P.SPLITTING, True), (303, P.SHADING, False),  # the built-in table
])
def test_capabilities_from_ini_files_then_the_table(ini_files, device, processing, expected):
    assert kd.is_cam_adapter_enabled(device, processing) is expected


def test_device_info_and_features(ini_files):
    info = kd.device_info(1201)
    assert (info.tags, info.positions, info.rtc_trigger) == (["colour"], [1, 2, 4], True)
    assert info.processing == {P.SHADING: True, P.AUTO_EXPOSURE: True, P.WHITEBALANCE: True}
    assert kd.device_info(1202).section == "Monochrome camera 1202" and kd.device_info(9).section == ""
    assert kd.devices_at_position(1) == [1201, 303] and kd.devices_with_tag("legacy") == [332, 170]
    for on in (True, False):
        kd.set_feature("ACQ_ENABLE_HDRI", on)
        assert kd.is_cam_adapter_enabled(303, P.HDRI) is on
    kd.set_feature("DEV_NO_SERVICE_UPDATE", True)
    try:
        with pytest.raises(kd.Error, match="DEV_NO_SERVICE_UPDATE"):
            kd.load_ini(EXAMPLES / "cameras.ini")
    finally:
        kd.set_feature("DEV_NO_SERVICE_UPDATE", False)
