# Called with the player's name; answers with the greeting.
.result str
Calc @Result = "ようこそ、" ++ @ParamStr ++ "さん"
