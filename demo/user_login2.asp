<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>网站登录</title>
</head>
<body>
<h3>网站登录</h3>
<form method="post" action="/user_login2.asp">
用户名：<input name="user"><br>
密　码：<input name="pass" type="password"><br>
<input type="submit" value="登录">
</form>
</body>
</html>
