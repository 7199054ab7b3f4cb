<?php
// PHP's own SoapServer (no WSDL) acting as Mantis: it decodes every call,
// multi-reference parameters included, with its SOAP implementation.
// Environment: MANTIS_LOG (issues and attachments, texts as hex),
// MANTIS_LIMIT (requests served before it answers 503).
$count = getenv('MANTIS_LOG') . '.count';
$served = (int) @file_get_contents($count) + 1;
file_put_contents($count, (string) $served);
if ($served > (int) getenv('MANTIS_LIMIT')) {
    http_response_code(503);
    return;
}

function row(array $fields) { return (object) $fields; }
function note(string $line) { file_put_contents(getenv('MANTIS_LOG'), $line . "\n", FILE_APPEND); }

class Mantis {
    private function check($username, $password) {
        if ($username !== 'tester' || $password !== "pw&<\u{e4}") throw new SoapFault('Server', 'Access denied');
    }
    function mc_version() { return '2.25.0'; }
    function mc_projects_get_user_accessible($u, $p) {
        $this->check($u, $p);
        return [row(['id' => 1, 'name' => 'Kelvane',
                     'subprojects' => [row(['id' => 3, 'name' => 'Reporter', 'subprojects' => []])]]),
                row(['id' => 2, 'name' => 'Other', 'subprojects' => []])];
    }
    function mc_enum_access_levels($u, $p) {
        $this->check($u, $p);
        return [row(['id' => 10, 'name' => 'viewer']), row(['id' => 55, 'name' => 'developer'])];
    }
    function mc_project_get_categories($u, $p, $project) {
        $this->check($u, $p);
        return [1 => ['General', 'Crash'], 2 => ['Misc'], 3 => ['Sub']][(int) $project];
    }
    function mc_project_get_versions($u, $p, $project) {
        $this->check($u, $p);
        return (int) $project === 1 ? [row(['name' => '1.0']), row(['name' => '2.0'])] : [];
    }
    function mc_project_get_users($u, $p, $project, $access) {
        $this->check($u, $p);
        if ((int) $access !== 55) throw new SoapFault('Server', 'no access level');
        return (int) $project === 1 ? [row(['id' => 5, 'name' => 'rita'])] : [];
    }
    function mc_enum_priorities($u, $p) {
        $this->check($u, $p);
        return [row(['id' => 10, 'name' => 'none']), row(['id' => 30, 'name' => 'normal'])];
    }
    function mc_enum_severities($u, $p) {
        $this->check($u, $p);
        return [row(['id' => 50, 'name' => 'minor']), row(['id' => 70, 'name' => 'crash'])];
    }
    function mc_issue_add($u, $p, $issue) {
        $this->check($u, $p);
        $ref = function ($name) use ($issue) { return isset($issue->$name) ? (string) $issue->$name->id : '-'; };
        note(implode(' ', ['issue', $ref('project'), $issue->version ?? '-', $ref('handler'), $ref('priority'),
                           $ref('severity'), bin2hex($issue->summary), bin2hex($issue->category),
                           bin2hex($issue->os), bin2hex($issue->description ?? '')]));
        return 123;
    }
    function mc_issue_attachment_add($u, $p, $issueId, $name, $type, $content) {
        $this->check($u, $p);
        note(implode(' ', ['attach', $issueId, bin2hex($name), $type, bin2hex($content)]));
        return 9;
    }
}

$server = new SoapServer(null, ['uri' => 'http://futureware.biz/mantisconnect', 'encoding' => 'UTF-8']);
$server->setClass('Mantis');
$server->handle();
