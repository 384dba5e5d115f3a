"""A first look at velto: the library's banner, a linear problem, a small
portfolio problem with a quadratic risk term and a small mixed-integer
problem, built through the Python layer and solved."""
import velto


def banner():
    env = velto.Env()
    env.set_Stream(velto.StreamType.LOG, lambda text: print(text, end=""))
    env.echointro_i_2(1)
    res, (major, minor, revision) = velto.Env.getversion__0()
    print(f"library version {major}.{minor}.{revision}\n")
    return env


def linear(env):
    # maximize 3x + 2y + 4z  subject to  x + y + 2z <= 4,  2x + z <= 5,  x + 3y >= 1,  x, y, z >= 0
    m = velto.Model(env)
    x = m.add_variables(3, lb=0.0)
    m.set_objective([3, 2, 4], sense="maximize")
    m.add_constraint({x[0]: 1, x[1]: 1, x[2]: 2}, ub=4)
    m.add_constraint({x[0]: 2, x[2]: 1}, ub=5)
    m.add_constraint({x[0]: 1, x[1]: 3}, lb=1)
    r = m.solve()
    print("Linear problem:", r.solution_status.name, "objective", round(r.objective, 6))
    print("  x =", [round(v, 6) for v in r.x], " y =", [round(v, 6) for v in r.y])


def portfolio(env):
    # minimize risk x'Sx - 0.1 * expected return, fully invested, no short sales
    mean = [0.12, 0.10, 0.07]
    cov = [[0.040, 0.006, 0.002], [0.006, 0.025, 0.001], [0.002, 0.001, 0.010]]
    m = velto.Model(env)
    w = m.add_variables(3, lb=0.0, obj=[-0.1 * r for r in mean])
    m.add_constraint({j: 1.0 for j in w}, lb=1.0, ub=1.0)
    m.set_quadratic_objective({(i, j): 2 * cov[i][j] for i in w for j in w if j <= i})  # 0.5 x'(2S)x
    r = m.solve()
    print("Portfolio (quadratic):", r.solution_status.name, "objective", round(r.objective, 6))
    print("  weights =", [round(v, 4) for v in r.x])


def knapsack(env):
    # maximize value of items in a knapsack of capacity 15 (binary choices)
    values, weights = [10, 13, 7, 8, 4, 9], [5, 7, 4, 4, 2, 5]
    m = velto.Model(env)
    pick = m.add_variables(len(values), lb=0, ub=1, obj=values, integer=True)
    m.set_objective(sense="maximize")
    m.add_constraint(dict(zip(pick, weights)), ub=15)
    r = m.solve()
    chosen = [i for i, v in enumerate(r.x) if v > 0.5]
    print("Knapsack:", r.solution_status.name, "value", round(r.objective, 6), "items", chosen)


def main():
    env = banner()
    task = velto.Task(env)
    task.set_Stream(velto.StreamType.ERR, lambda text: print("error stream:", text, end=""))
    res, _ = task.getconbound_i_2(5)  # no such constraint: the library explains on the error stream
    name, desc = bytearray(), bytearray()
    velto.Env.getcodedesc_iOO_1(res, name, desc)
    print("response:", res, name.split(b"\0")[0].decode(), "-", desc.split(b"\0")[0].decode(), "\n")
    task.dispose()
    linear(env)
    portfolio(env)
    knapsack(env)
    env.dispose()


if __name__ == "__main__":
    main()
