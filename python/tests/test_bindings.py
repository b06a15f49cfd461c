"""The controller's interface beyond files and I/O, against tavrix-sim:
Modbus and register areas, variables and arrays, cycle upload and watch(),
the three-file store, firmware checks, the debugger, locks, the LCD, and
text-command errors."""
import os
import struct
import threading
import time

import pytest

import tavrix
from conftest import start_simulator


@pytest.fixture(scope="module")
def own_sim():
    """A simulator of this module's own: the writes here do not reach the
    other modules' controller."""
    process = start_simulator("127.0.0.24", "--set", "inputs=0")
    yield "127.0.0.24"
    process.terminate()
    process.wait(10)


@pytest.fixture
def ctl(own_sim):
    with tavrix.Controller.open(own_sim) as c:
        yield c


def test_an_error_line_raises_controller_error(ctl):
    with pytest.raises(tavrix.ControllerError) as e:
        ctl.execute("?nosuch")
    assert e.value.code == 2 and e.value.description == "unknown word nosuch"
    assert e.value.answer.startswith("ERROR 2:")
    assert isinstance(e.value, tavrix.TavrixError)
    with pytest.raises(tavrix.ControllerError) as e:
        ctl.execute("PRINT 1/0")
    assert e.value.code == 4 and "division" in e.value.description
    # The one-exchange form gets the error as the request's result instead.
    with pytest.raises(tavrix.TavrixError):
        ctl.direct_command("PRINT 1/0")
    # The link is still good afterwards, and answers without an error line pass.
    assert ctl.execute("?1+1").strip() == "2"


def test_modbus_coils_and_registers(ctl):
    ctl.write_registers(100, [1, 2, 65535])
    assert ctl.read_holding_registers(100, 3) == [1, 2, 65535]
    ctl.write_register(103, 7)
    assert ctl.read_holding_registers(103) == [7]
    ctl.write_coils(10, [True, False, True, True, False, False, False, False, True])
    assert ctl.read_coils(10, 9) == [True, False, True, True, False, False, False, False, True]
    ctl.write_coil(10, False)
    assert ctl.read_coils(10, 2) == [False, False]
    ctl.write_longs(200, [-2, 70000])
    assert ctl.read_longs(200, 2, signed=True) == [-2, 70000]
    assert ctl.read_longs(200, 1) == [2**32 - 2]
    # Two registers per value, low word first.
    assert ctl.read_holding_registers(202, 2) == [70000 & 0xFFFF, 70000 >> 16]
    ctl.write_floats(300, [1.5, -2.25])
    assert ctl.read_floats(300, 2) == [1.5, -2.25]
    assert ctl.read_longs(300, 1) == [struct.unpack("<I", struct.pack("<f", 1.5))[0]]


def test_named_register_areas(ctl):
    ctl.write_area("D", 5, [1, 65535])
    assert ctl.read_area("D", 5, 2) == [1, 65535]
    ctl.write_area("M", 3, [1, 0, 1, 1, 0, 0, 0, 0, 1])
    assert ctl.read_area("M", 3, 9) == [1, 0, 1, 1, 0, 0, 0, 0, 1]
    ctl.write_area("C", 0, [-1, 5], width_bits=32)
    assert ctl.read_area("C", 0, 2, width_bits=32) == [2**32 - 1, 5]
    ctl.write_area("VR", 20, [struct.unpack("<I", struct.pack("<f", 2.5))[0]])
    assert ctl.read_area_floats("VR", 20, 1) == [2.5]
    assert ctl.variable("VR(20)") == 2.5


def test_variables_and_arrays(ctl):
    ctl.write_array("VR", 30, [1.5, 2.5, -3.0])
    assert ctl.read_array("VR", 30, 3) == [1.5, 2.5, -3.0]
    assert ctl.array_element("VR", 31) == 2.5
    ctl.execute("GLOBAL gpy")
    ctl.execute("gpy = 12.5")
    assert ctl.variable("gpy") == 12.5
    with pytest.raises(tavrix.TavrixError):
        ctl.variable("nosuchvar")


def test_cycle_upload_and_watch(ctl):
    ctl.execute("VR(40)=7")
    with ctl.cycle_upload("VR(40,2) IN(0)", 20) as upload:
        deadline = time.monotonic() + 5
        while upload.received < 2 and time.monotonic() < deadline:
            time.sleep(0.01)
        assert upload.received >= 2
        assert upload.read("VR", 40) == 7.0 and upload.read_int("vr", 40) == 7
        upload.force_once()
        with pytest.raises(tavrix.TavrixError):
            upload.read("VR", 99)
    blocks = []
    for block in ctl.watch(["VR(40,2)", "IN(0)"], 20):
        blocks.append(block)
        if len(blocks) == 3:
            break
    assert [b.number for b in blocks] == sorted({b.number for b in blocks})
    assert blocks[-1].values["VR(40)"] == 7.0 and blocks[-1].values["VR(41)"] == 0.0
    assert blocks[-1].values["IN(0)"] in (0.0, 1.0) and len(blocks[-1].values) == 3
    # Leaving the loop stopped the upload: its buffer is free for the next one.
    assert ctl._cycle_buffers == set()


def test_watch_ends_when_another_thread_closes(own_sim):
    ctl = tavrix.Controller.open(own_sim)
    seen = []

    def consume():
        for block in ctl.watch("VR(0)", 20):
            seen.append(block)

    worker = threading.Thread(target=consume)
    worker.start()
    deadline = time.monotonic() + 5
    while not seen and time.monotonic() < deadline:
        time.sleep(0.01)
    ctl.close()
    worker.join(5)
    assert not worker.is_alive() and seen


def test_print_callback_and_messages(ctl, tmp_path):
    texts = []
    ctl.set_print_callback(texts.append)
    try:
        ctl.put_bytes(b"PRINT \"hello\"\r\n", "HELLO.BAS")
        ctl.run("HELLO.BAS")
        deadline = time.monotonic() + 5
        output = ""
        while "hello" not in output + "".join(texts) and time.monotonic() < deadline:
            output += ctl.read_messages()
            time.sleep(0.02)
        assert "hello" in output + "".join(texts)
    finally:
        ctl.set_print_callback(None)
        ctl.stop()
        ctl.delete("HELLO.BAS")


def test_debugger_breakpoints_locals_and_steps(ctl):
    program = (b"LOCAL count, total\n"          # 1
               b"FOR count = 1 TO 3\n"          # 2
               b"  total = total + count\n"     # 3
               b"NEXT count\n"                  # 4
               b"PRINT \"total\", total\n"      # 5
               b"PRINT \"last\", total * 2\n"   # 6
               b"END\n")
    ctl.put_bytes(program, "DBG.BAS")
    try:
        ctl.add_breakpoint("DBG.BAS", 5)
        ctl.run("DBG.BAS")
        deadline = time.monotonic() + 5
        while ctl.task_state(0).second != 1 and time.monotonic() < deadline:
            pass
        held = ctl.task_state(0)
        assert (held.state, held.second, held.value) == (2, 1, 5)
        local = ctl.local_variable(0, 0, 1)
        assert local.name == "TOTAL" and struct.unpack("<d", local.extra)[0] == 6.0
        assert ctl.execute("?total").strip() == "6"
        ctl.step()
        assert ctl.task_state(0).value == 6
        assert ctl.read_messages() == "total 6\n"
        ctl.delete_breakpoint("DBG.BAS", 5)
        ctl.step(0, 1)
        deadline = time.monotonic() + 5
        while ctl.task_state(0).state != 0 and time.monotonic() < deadline:
            pass
        assert ctl.read_messages() == "last 12\n"
        ctl.clear_breakpoints()
        ctl.cancel_online()
    finally:
        ctl.stop()
        ctl.delete("DBG.BAS")


def test_lock_refuses_downloads_until_unlocked(ctl):
    ctl.lock("pw1")
    try:
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            try:
                ctl.put_bytes(b"1", "LOCKED.BIN")
            except tavrix.TavrixError as e:
                assert e.code in (223, tavrix.ERR_LOCKED)  # the controller's or the library's refusal
                break
            ctl.delete("LOCKED.BIN")
            time.sleep(0.02)
        else:
            pytest.fail("a locked controller took a download")
    finally:
        ctl.unlock("pw1")
    deadline = time.monotonic() + 5
    while True:
        try:
            ctl.put_bytes(b"1", "LOCKED.BIN")
            break
        except tavrix.TavrixError:
            assert time.monotonic() < deadline
            time.sleep(0.02)
    ctl.delete("LOCKED.BIN")


def test_user_lock_holds_other_threads_text_commands(ctl):
    answers = []
    with ctl.user_lock():
        worker = threading.Thread(target=lambda: answers.append(ctl.execute("?5")))
        worker.start()
        worker.join(0.3)
        assert answers == [] and worker.is_alive()
    worker.join(5)
    assert answers and answers[0].strip() == "5"


def test_three_file_store(ctl, tmp_path):
    ctl.store_clear()
    assert ctl.store_files() == []
    assert ctl.store_check("P1.BAS") is None
    ctl.store_put_bytes(b"PRINT 1\r\n", "P1.BAS")
    local = tmp_path / "p2.bas"
    local.write_bytes(b"PRINT 2\r\n" * 100)
    ctl.store_put(local, "P2.BAS")
    assert {e.name: e.size for e in ctl.store_files()} == {"P1.BAS": 9, "P2.BAS": 900}
    assert ctl.store_check("P1.BAS") is not None
    assert ctl.store_get_bytes("P2.BAS") == local.read_bytes()
    ctl.store_get("P1.BAS", tmp_path / "back.bas")
    assert (tmp_path / "back.bas").read_bytes() == b"PRINT 1\r\n"
    ctl.store_delete("P1.BAS")
    assert [e.name for e in ctl.store_files()] == ["P2.BAS"]
    ctl.store_clear()
    assert ctl.store_files() == []


def test_firmware_check_refuses_a_bad_image(ctl, tmp_path):
    image = tmp_path / "bad.bin"
    image.write_bytes(b"\0" * 16)
    with pytest.raises(tavrix.TavrixError) as e:
        ctl.check_firmware(image)
    assert e.value.code == tavrix.ERR_FIRMWARE_IMAGE
    with pytest.raises(tavrix.TavrixError) as e:
        ctl.update_firmware(image)
    assert e.value.code == tavrix.ERR_FIRMWARE_IMAGE


def test_lcd_session(ctl):
    with ctl.lcd(0) as lcd:
        assert lcd.width > 0 and lcd.height > 0
        # The form with progress calls fills the same picture.
        whole = lcd.fetch_all(every=1, on_progress=lambda: None)
        assert whole == ctl.lcd_screen() and len(whole.pixels) == lcd.width * lcd.height
        assert lcd.refresh() and lcd.check()[0] == []
        lcd.touch(1, 1, 1)
        lcd.key(13, 1)
        lcd.key(13, 0)
        lcd.key(13, 1, virtual=True)
    info = ctl.camera_info(0)
    assert info.bits == 16 and (info.width, info.height) == ctl.camera_image(0)[:2]


def test_project_records(tmp_path, ctl):
    (tmp_path / "main.bas").write_text("PRINT 1\r\n")
    project = tmp_path / "demo.npj"
    project.write_text("[Controller]\nFiles=1\n[FileList]\nFile1=main.bas\nAutoRun1=0\n")
    record = tavrix.project_record(project)
    assert len(record.data) == 64 + 36
    tavrix.fill_project_record(record)
    saved = tmp_path / "demo.rec"
    saved.write_bytes(tavrix.project_record(project).data)
    # The library fills the slot sizes and hashes alike in memory and from a file.
    assert tavrix.real_project_record(saved)[64:] == record.data[64:]
    one = tavrix.one_file_project(tmp_path / "main.bas")
    assert one.data[64:72] == b"main.bas"
    # The forms of a project build the same program.
    for form in (project, record, tavrix.RecordFile(saved), one):
        ctl.run_project(form)
        assert ctl.task_state(0).text == "main.bas"
        ctl.stop()
    tavrix.make_nar(tavrix.RecordFile(saved), tmp_path / "a.nar")
    assert (tmp_path / "a.nar").stat().st_size > 0


def test_link_kind_is_read_from_the_address():
    cases = {"127.0.0.21": tavrix.LINK_ETHERNET, "10.1.2.3:502": tavrix.LINK_ETHERNET, "COM3": tavrix.LINK_SERIAL,
             "com12": tavrix.LINK_SERIAL, "COM   3": tavrix.LINK_SERIAL, "PCI1": tavrix.LINK_PCI,
             "pcie2": tavrix.LINK_PCI}
    for address, kind in cases.items():
        assert tavrix.link_kind_of(address) == kind, address
    for address in ["", "COM", "PCI", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4:70000", "COMX", "host"]:
        with pytest.raises(ValueError):
            tavrix.link_kind_of(address)


@pytest.fixture
def serial_sim(tmp_path):
    from conftest import SIM
    if not SIM:
        pytest.skip("TAVRIX_SIM does not name a tavrix-sim program")
    import subprocess
    process = subprocess.Popen([SIM, "--serial", "--com", "7", "--exit-with-parent"], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
    line = process.stdout.readline().strip()
    name, device = line.split("=", 1)
    os.environ[name] = device
    yield 7
    del os.environ[name]
    process.terminate()
    process.wait(10)


def test_open_infers_serial_from_com(serial_sim):
    with tavrix.Controller.open(f"COM{serial_sim}", timeout_ms=1000) as ctl:
        assert ctl.link_kind == tavrix.LINK_SERIAL
        assert ctl.execute("?3*3").strip() == "9"
        ctl.set_station(0)
    with tavrix.Controller.open_serial(serial_sim, timeout_ms=1000) as ctl:
        assert ctl.read_holding_registers(0, 1) is not None
    with tavrix.Controller.search_serial(serial_sim, serial_sim) as ctl:
        assert ctl.serial_port == serial_sim


@pytest.mark.skipif(not os.environ.get("TVX_NET_ISOLATED"), reason="needs a private network namespace")
def test_open_infers_pci_from_the_address():
    from conftest import start_simulator
    process = start_simulator("127.0.0.23", "--pci", "--pci-cards", "1", "--pcie-cards", "1",
                              ready="cards")
    os.environ["TAVRIX_PCI_DRIVER"] = "sim:127.0.0.23:5502"
    try:
        assert tavrix.pci_card_count() == 2
        with tavrix.Controller.open("PCI2") as ctl:
            assert ctl.link_kind == tavrix.LINK_PCI
            assert ctl.execute("?2+2").strip() == "4"
        with tavrix.Controller.open_pci(0) as ctl:
            assert ctl.address.upper() == "PCI1"
    finally:
        del os.environ["TAVRIX_PCI_DRIVER"]
        process.terminate()
        process.wait(10)


def test_ethernet_opens(sim_address):
    import ipaddress
    with tavrix.Controller.open_ethernet(ipaddress.IPv4Address(sim_address)) as ctl:
        assert ctl.address == sim_address
    with tavrix.Controller.open_ethernet(sim_address) as ctl:
        assert ctl.state == 0
    with tavrix.Controller.open(sim_address, probe_ms=200) as ctl:
        assert ctl.link_kind == tavrix.LINK_ETHERNET
    # A silent address: the probe, or the budget given to open, bounds the
    # open (the open's own retries took 7.7 s).
    # A probe that finds nobody gives ERR_ETHERNET; a full open whose budget
    # runs out gives the channel's no-reply code.
    cases = (({"probe_ms": 200}, tavrix.ERR_ETHERNET), ({"timeout_ms": 500}, tavrix.CH_NO_REPLY))
    for options, code in cases:
        start = time.monotonic()
        with pytest.raises(tavrix.TavrixError) as e:
            tavrix.Controller.open("127.0.0.29", **options)
        assert e.value.code == code and time.monotonic() - start < 3, options
