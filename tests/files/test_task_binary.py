"""The binary task format: lossless round trips, and safe refusal of
truncated, corrupt, hostile and newer files (the task is left as it was)."""
import struct
import zlib

import pytest

import velto
from taskdata import assert_same, ok, random_task, snapshot

Err = velto.ResponseCode


@pytest.fixture
def errors():
    return []


def fresh(errors=None):
    t = velto.Task(None)
    if errors is not None:
        t.set_Stream(velto.StreamType.ERR, errors.append)
    return t


@pytest.mark.parametrize("seed", range(4))
@pytest.mark.parametrize("suffix", [".task", ".task.gz", ".task.zst"])
def test_a_task_comes_back_bit_for_bit(tmp_path, seed, suffix):
    t = random_task(seed, m=3 + seed, n=7 + seed)
    path = str(tmp_path / ("t" + suffix))
    ok(t.writetask_s_2(path))
    u = fresh()
    ok(u.readtask_s_2(path))
    assert_same(snapshot(t), snapshot(u))
    # the same file through the format dispatch
    v = fresh()
    ok(v.readdataautoformat_s_2(path))
    assert_same(snapshot(t), snapshot(v))


def test_empty_task_and_tolerance_below_entries(tmp_path):
    path = str(tmp_path / "e.task")
    ok(fresh().writetask_s_2(path))
    u = random_task(3)
    ok(u.readtask_s_2(path))
    assert_same(snapshot(fresh()), snapshot(u))
    # an entry smaller than a tolerance raised after it was entered survives
    t = fresh()
    ok(t.appendcons_i_2(1))
    ok(t.appendvars_i_2(1))
    ok(t.putatruncatetol_d_2(0.0))
    ok(t.putaij_iid_4(0, 0, 1e-12))
    ok(t.putatruncatetol_d_2(1e-6))
    ok(t.writetask_s_2(path))
    u = fresh()
    ok(u.readtask_s_2(path))
    assert u.getaij_ii_3(0, 0) == (0, 1e-12)


def test_parameters_and_solutions_follow_their_switches(tmp_path):
    path = str(tmp_path / "p.task")
    t = random_task(5)
    ok(t.putintparam_ii_3(velto.IParam.WRITE_TASK_INC_SOL, velto.OnOff.OFF))
    ok(t.writetask_s_2(path))
    u = fresh()
    ok(u.putintparam_ii_3(velto.IParam.READ_TASK_IGNORE_PARAM, velto.OnOff.ON))
    ok(u.readtask_s_2(path))
    assert u.solutiondef_i_2(velto.SolutionType.ITR) == (0, 0)
    assert u.getintparam_i_2(velto.IParam.LOG) == (0, 10)   # the task's own (default) value kept
    v = fresh()
    ok(v.readtask_s_2(path))
    assert v.getintparam_i_2(velto.IParam.LOG) == (0, 3)
    assert v.getintparam_i_2(velto.IParam.WRITE_TASK_INC_SOL) == (0, velto.OnOff.OFF)


def written(tmp_path, seed=7):
    path = tmp_path / "w.task"
    ok(random_task(seed, m=4, n=7).writetask_s_2(str(path)))
    return path, path.read_bytes()


def refused(tmp_path, data, code=Err.ERR_FILE_FORMAT):
    """Reads data into a filled task: the read fails with `code` and a message
    naming the file, and the task is unchanged."""
    path = tmp_path / "bad.task"
    path.write_bytes(data)
    errors = []
    t = random_task(1)
    t.set_Stream(velto.StreamType.ERR, errors.append)
    before = snapshot(t)
    assert t.readtask_s_2(str(path)) == (code, None)
    assert_same(before, snapshot(t))
    assert str(path) in errors[-1]
    return errors[-1]


def test_every_truncation_is_refused(tmp_path):
    _, data = written(tmp_path)
    for cut in list(range(0, 64)) + list(range(64, len(data), 29)):
        refused(tmp_path, data[:cut])


def test_flipped_bits_are_caught_by_the_checksums(tmp_path):
    _, data = written(tmp_path)
    for pos in list(range(16, 40)) + list(range(40, len(data), 97)):
        damaged = bytearray(data)
        damaged[pos] ^= 0x10
        refused(tmp_path, bytes(damaged))


def section(tag, payload, flags=0):
    head = tag + struct.pack("<IQ", flags, len(payload))
    return head + struct.pack("<II", zlib.crc32(head + payload), 0) + payload


HEADER = b"\x89VLTTASK\r\n\x1a\n" + struct.pack("<HH", 1, 0)
TASK = section(b"TASK", struct.pack("<qqqdd", 0, 1, 0, 0.0, 1e-9))
END = section(b"END ", b"")


@pytest.mark.parametrize("body, words", [
    # an array that declares far more elements than the file holds (valid checksum)
    (TASK + section(b"AMAT", struct.pack("<q", 1 << 60)) + END, "declares"),
    (TASK + section(b"AMAT", struct.pack("<qq", 2, -5)) + END, "declares"),
    # a section larger than the file
    (TASK + b"AMAT" + struct.pack("<IQII", 0, 1 << 62, 0, 0) + END, "truncated"),
    (TASK + section(b"WHAT", b"") + END, "cannot read"),
    (TASK + TASK + END, "repeats"),
    (section(b"CONS", struct.pack("<qqq", 0, 0, 0)) + END, "TASK section is missing"),
    (TASK + END + b"\0" * 8, "follow the end"),
    (section(b"TASK", struct.pack("<qqqdd", -3, 1, 0, 0.0, 1e-9)) + END, "numcon"),
    (section(b"TASK", struct.pack("<qqqdd", 0, 2, 0, 0.0, 1e-9)) + END, "entries for numvar"),
])
def test_hostile_files_are_refused_with_a_reason(tmp_path, body, words):
    assert words in refused(tmp_path, HEADER + body)


def test_skippable_unknown_sections_and_newer_versions(tmp_path):
    vars_ = section(b"VARS", struct.pack("<q", 1) + struct.pack("<i", 3) + b"\0" * 4 +
                    b"".join(struct.pack("<qd", 1, v) for v in (-1e300, 1e300)) +
                    struct.pack("<q", 1) + struct.pack("<i", 0) + b"\0" * 4 + struct.pack("<qd", 1, 2.5))
    amat = section(b"AMAT", struct.pack("<qqqqq", 2, 0, 0, 0, 0))
    path = tmp_path / "skip.task"
    path.write_bytes(HEADER + TASK + vars_ + amat + section(b"NOTE", b"x" * 8, flags=1) + END)
    t = fresh()
    ok(t.readtask_s_2(str(path)))
    assert t.getcslice_iiO_3(0, 1, bytearray())[0] == 0 and t.getcj_i_2(0) == (0, 2.5)
    newer = b"\x89VLTTASK\r\n\x1a\n" + struct.pack("<HH", 2, 0) + TASK + END
    assert "version 2.0" in refused(tmp_path, newer)
    assert "not a binary task file" in refused(tmp_path, b"NAME x\nROWS\n")


def test_a_corrupt_compressed_file_is_refused(tmp_path):
    path = tmp_path / "c.task.gz"
    ok(random_task(2).writetask_s_2(str(path)))
    data = path.read_bytes()
    refused(tmp_path, data[: len(data) // 2], Err.ERR_COMPRESSION)
    refused(tmp_path, data[:10] + bytes(b ^ 0xFF for b in data[10:40]) + data[40:], Err.ERR_COMPRESSION)


def test_write_failures_keep_an_existing_file(tmp_path):
    t = random_task(4)
    assert t.writetask_s_2(str(tmp_path / "no" / "such" / "dir.task"))[0] == Err.ERR_FILE_OPEN
    target = tmp_path / "keep.task"
    target.write_bytes(b"old")
    ok(t.writetask_s_2(str(target)))
    assert target.read_bytes()[:8] == b"\x89VLTTASK"
    assert sorted(p.name for p in tmp_path.iterdir()) == ["keep.task"]   # no temporary file left


def sections_of(data):
    """The (tag, flags, payload) of each section of a binary task file."""
    out, pos = [], 16
    while pos < len(data):
        tag, flags, size = data[pos:pos + 4], *struct.unpack("<IQ", data[pos + 4:pos + 16])
        out.append((tag, flags, data[pos + 24:pos + 24 + size]))
        pos += 24 + size
    return out


def test_files_of_version_1_0_still_read(tmp_path):
    # 1.0 wrote solutions without the (empty) semidefinite values at the end
    t = random_task(3, semidefinite=False)
    path = tmp_path / "new.task"
    ok(t.writetask_s_2(str(path)))
    old = b"\x89VLTTASK\r\n\x1a\n" + struct.pack("<HH", 1, 0)
    for tag, flags, payload in sections_of(path.read_bytes()):
        if tag == b"SOLN":
            assert payload[-16:] == b"\0" * 16
            payload = payload[:-16]
        old += section(tag, payload, flags)
    (tmp_path / "old.task").write_bytes(old)
    u = fresh()
    ok(u.readtask_s_2(str(tmp_path / "old.task")))
    assert_same(snapshot(t), snapshot(u))
