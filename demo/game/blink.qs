# The timer's tick: the prompt shows and hides in turn.
Calc 点灯 = 1 - 点灯
SetProp comp={"案内"} prop=visible value={点灯 == 1}
