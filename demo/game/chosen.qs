# A door of the map image chosen: its name kept.
Calc 選んだ扉 = @SelStr
