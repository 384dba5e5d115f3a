"""A first look at velto: the library's banner and version, and its messages
forwarded to Python."""
import velto


def main():
    env = velto.Env()
    env.set_Stream(velto.StreamType.LOG, lambda text: print(text, end=""))
    env.echointro_i_2(1)
    res, (major, minor, revision) = velto.Env.getversion__0()
    print(f"library version {major}.{minor}.{revision}")

    task = velto.Task(env)
    task.set_Stream(velto.StreamType.ERR, lambda text: print("error stream:", text, end=""))
    # A deliberately bad call: the library answers with a response code and
    # explains itself on the task's error stream.
    res, _ = task.getconbound_i_2(5)
    name, desc = bytearray(), bytearray()
    velto.Env.getcodedesc_iOO_1(res, name, desc)
    print("response:", res, name.split(b"\0")[0].decode(), "-", desc.split(b"\0")[0].decode())
    task.dispose()
    env.dispose()


if __name__ == "__main__":
    main()
